// The page's keys: Esc stops (or clears the search box), Ctrl+F searches the list,
// Ctrl+Shift+C copies the shown URLs, Ctrl+C the selected one, Ctrl+S saves the selected
// row's file (a playlist's stream as one file), the arrows, Page Up/Down, Home and End move
// the selection (Down also from the address and search boxes, into the list), Right and
// Left unfold and fold a playlist, Enter in the list shows the selected row's details and
// Shift+Enter opens it.
'use strict';

(function (exports) {
  const page = TrawlerPage;
  const {state} = page;

  function isTextField(element) {
    return element && (element.tagName === 'TEXTAREA' ||
                       (element.tagName === 'INPUT' && /^(text|search)$/.test(element.type)));
  }

  // The keys that move the selection, and by how many rows (a page: the rows in sight).
  const SELECTION_STEPS = {
    ArrowDown: () => 1,
    ArrowUp: () => -1,
    PageDown: () => page.pageRows(),
    PageUp: () => -page.pageRows(),
    Home: () => -Infinity,
    End: () => Infinity,
  };

  // Whether the row is a playlist with segments that the key would unfold (or fold).
  function foldable(row, unfold) {
    return Boolean(row && row.children) && state.results.expanded.has(row.id) !== unfold;
  }

  // Esc clears a search box with text first; from anywhere else it stops the capture.
  function escape() {
    const {narrow} = state.view.elements;
    if (document.activeElement === narrow && narrow.value) {
      narrow.value = '';
      page.narrowTo('');
    } else {
      page.stop();
    }
  }

  // The action of a key, or null when the page leaves the key to the document.
  function actionOf(event) {
    const control = event.ctrlKey || event.metaKey;
    const key = event.key;
    const inText = isTextField(document.activeElement);
    const selected = state.results.selected;
    if (key === 'Escape') return escape;
    if (control && !event.shiftKey && (key === 'f' || key === 'F')) {
      return () => {
        state.view.elements.narrow.focus();
        state.view.elements.narrow.select();
      };
    }
    if (control && event.shiftKey && (key === 'c' || key === 'C')) {
      return () => page.copyShown('urls');
    }
    if (control && key === 'c' && !inText && selected && !String(window.getSelection())) {
      return () => page.copyRowUrl(selected);
    }
    if (control && (key === 's' || key === 'S') && selected) return () => page.saveRow(selected);
    if ((key === 'ArrowRight' || key === 'ArrowLeft') && !inText &&
        foldable(selected, key === 'ArrowRight')) {
      // As in a tree: Right unfolds the selected playlist's segments, Left folds them.
      return () => {
        state.results.toggleFold(selected.id);
        page.requestRender();
      };
    }
    if (key in SELECTION_STEPS && !inText) {
      return () => page.moveSelection(SELECTION_STEPS[key]());
    }
    // Down from the address or the search box goes on into the list, to the row below the
    // selected one (the first when none is).
    const {address, narrow, viewport} = state.view.elements;
    if (key === 'ArrowDown' && !control &&
        (document.activeElement === address || document.activeElement === narrow)) {
      return () => {
        viewport.focus();
        page.moveSelection(1);
      };
    }
    // Enter shows the selected row's details from the list (or with nothing focused), and
    // Shift+Enter opens the row; on any control it is the control's own (a menu opens, a
    // header sorts).
    const focused = document.activeElement;
    if (key === 'Enter' && selected &&
        (focused === state.view.elements.viewport || focused === document.body)) {
      if (event.shiftKey) return () => page.openRow(selected);
      return () => {
        state.detailsOpen = true;
        page.requestRender();
      };
    }
    return null;
  }

  function onKeyDown(event) {
    const action = actionOf(event);
    if (!action) return;
    event.preventDefault();
    action();
  }

  exports.onKeyDown = onKeyDown;
})(TrawlerPage);

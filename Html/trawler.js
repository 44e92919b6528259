// Trawler's UI page: the wiring. It finds the document's parts, binds the controls to the
// page's actions (commands.js, keyboard.js, list_view.js) and defines the globals of the
// native side's contract: addResult, updateResult, pageLoaded, searchResumed,
// windowsBlocked, savedFile, saveProgress, previewReady, curlCopied, mediaUnplayable and
// updateInputUrl.
// Text from the web reaches the document through textContent and title only.
'use strict';

(() => {
  const page = TrawlerPage;
  const {state} = page;
  const {view} = state;
  const $ = (id) => document.getElementById(id);

  function findElements() {
    view.elements = {
      address: $('address'),
      addressMessage: $('address-message'),
      pause: $('pause'),
      stop: $('stop'),
      mimeFilter: $('mime-filter'),
      extFilter: $('ext-filter'),
      narrow: $('narrow'),
      unique: $('unique'),
      grid: $('results'),
      viewport: $('viewport'),
      spacer: $('spacer'),
      headers: Array.from(document.querySelectorAll('.row.header .cell[data-key]')),
      statusText: document.createElement('span'),
      notice: document.createElement('span'),
      offer: document.createElement('span'),
      windowsOffer: document.createElement('span'),
      chips: Array.from(document.querySelectorAll('[data-kind]')),
      details: $('details'),
      emptyHint: $('empty-hint'),
      detailsToggle: $('details-toggle'),
      rowActions: $('row-actions'),
    };
  }

  // The address, the filters and the presets; Enter in a filter's box starts, as in the
  // address, and typing there chooses that filter.
  function bindSearch() {
    const {elements} = view;
    $('search-form').addEventListener('submit', (event) => {
      event.preventDefault();
      page.start();
    });
    elements.pause.addEventListener('click', page.pause);
    elements.stop.addEventListener('click', page.stop);
    for (const button of document.querySelectorAll('[data-preset]')) {
      button.addEventListener('click', () => page.applyPreset(button.dataset.preset));
    }
    for (const [box, mode] of [[elements.mimeFilter, 'mime'], [elements.extFilter, 'ext']]) {
      box.addEventListener('input', () => {
        document.querySelector('input[name=filter][value=' + mode + ']').checked = true;
      });
      box.addEventListener('keydown', (event) => {
        if (event.key !== 'Enter') return;
        event.preventDefault();
        page.start();
      });
    }
  }

  // The toolbar over the list: the search box, type chips, one row per URL, copies, the
  // export menu, the details pane's toggle and Clear.
  function bindToolbar() {
    const {elements} = view;
    elements.narrow.addEventListener('input', () => page.narrowTo(elements.narrow.value));
    for (const chip of elements.chips) {
      chip.addEventListener('click', () => page.toggleKind(chip.dataset.kind));
    }
    elements.unique.addEventListener('change', () => page.showUnique(elements.unique.checked));
    $('hide-inline').addEventListener('change', (event) => page.hideInline(event.target.checked));
    $('copy-all').addEventListener('click', () => page.copyShown('urls'));
    $('copy-csv').addEventListener('click', () => page.copyShown('csv'));
    $('copy-json').addEventListener('click', () => page.copyShown('json'));
    $('copy-curl').addEventListener('click', page.copySelectedAsCurl);
    // The export menu closes once one of its actions ran.
    $('export-menu').addEventListener('click', (event) => {
      if (event.target.tagName === 'BUTTON') $('export-menu').open = false;
    });
    for (const button of document.querySelectorAll('[data-save]')) {
      button.addEventListener('click', () => page.saveShown(button.dataset.save));
    }
    elements.detailsToggle.addEventListener('click', () => {
      state.detailsOpen = !state.detailsOpen;
      page.requestRender();
    });
    $('clear').addEventListener('click', page.clearList);
  }

  // A click on a row selects it; on its fold button or on the actions bar over it, it does
  // what the button says.
  function onRowsClick(event) {
    const element = event.target.closest('.row, .row-actions');
    if (!element || !element.shownRow || element.shownRow.separator) return;
    const row = element.shownRow;
    const action = event.target.dataset ? event.target.dataset.action : undefined;
    if (action === 'fold') {
      state.results.toggleFold(row.id);
      page.requestRender();
    } else if (action === 'save') {
      page.saveRow(row);
    } else if (action === 'open') {
      page.openRow(row);
    } else if (action === 'copy') {
      page.copyRowUrl(row);
    }
    page.select(row);
  }

  // The list: column headers sort, rows take clicks, the viewport's scroll and size are read
  // here, outside the render path.
  function bindList() {
    const {elements} = view;
    for (const header of elements.headers) {
      header.addEventListener('click', () => page.sortBy(header.dataset.key));
      header.addEventListener('keydown', (event) => {
        if (event.key !== 'Enter' && event.key !== ' ') return;
        event.preventDefault();
        page.sortBy(header.dataset.key);
      });
    }
    elements.viewport.addEventListener('mouseover', page.onRowsHover);
    elements.viewport.addEventListener('mouseleave', page.onRowsLeave);
    for (const kind of ['wheel', 'pointerdown', 'keydown']) {
      elements.viewport.addEventListener(kind, page.onUserScroll, {passive: true});
    }
    elements.viewport.addEventListener('scroll', () => {
      view.scrollTop = elements.viewport.scrollTop;
      page.requestRender();
    }, {passive: true});
    elements.viewport.addEventListener('click', onRowsClick);
    new ResizeObserver(() => {
      page.measureViewport();
      page.requestRender();
    }).observe(elements.viewport);
  }

  // The status line (its notice may offer Save… or Copy URL for a row Open could not open),
  // the details pane's stream saves and the saves' lines.
  function bindStatus() {
    const {elements} = view;
    elements.notice.className = 'notice';
    elements.offer.className = 'offer';
    for (const [offer, label] of [['save', 'Save\u2026'], ['copy', 'Copy URL']]) {
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.offer = offer;
      button.textContent = label;
      elements.offer.appendChild(button);
    }
    elements.offer.addEventListener('click', (event) => {
      const row = state.offerRow;
      if (!row || !event.target.dataset.offer) return;
      state.notice = '';
      if (event.target.dataset.offer === 'save') {
        page.saveRow(row);
      } else {
        page.copyRowUrl(row);
      }
      page.requestRender();
    });
    // Windows the page asked for beyond a search's share: how many, and Allow more.
    elements.windowsOffer.className = 'offer';
    const allow = document.createElement('button');
    allow.type = 'button';
    allow.textContent = 'Allow more windows';
    allow.addEventListener('click', page.allowWindows);
    elements.windowsOffer.append(document.createElement('span'), allow);
    $('status').append(elements.statusText, elements.notice, elements.offer,
                       elements.windowsOffer);
    elements.details.addEventListener('click', (event) => {
      if (event.target.dataset.action === 'save-playlist') {
        page.savePlaylist(state.results.selected, Number(event.target.dataset.variant));
      } else if (event.target.dataset.action === 'preview') {
        page.previewRow(state.results.selected);
      }
    });
    $('saves').addEventListener('click', (event) => {
      const job = Number(event.target.dataset.job);
      if (event.target.dataset.action === 'cancel-save') {
        if (!page.callService('cancelSave', {job})) page.notify('could not cancel the save');
      } else if (event.target.dataset.action === 'dismiss-save') {
        TrawlerSaves.dismiss($('saves'), job);
      } else if (event.target.dataset.action === 'dismiss-ended') {
        TrawlerSaves.dismissEnded($('saves'));
      } else if (event.target.dataset.action === 'toggle-ended') {
        TrawlerSaves.toggleEnded($('saves'));
      }
    });
  }

  // Says so when the page came back after its process died (its list comes back with it).
  function noticeIfRestored() {
    let restored = false;
    try {
      restored = sessionStorage.getItem(page.ALIVE_KEY) === '1';
      sessionStorage.setItem(page.ALIVE_KEY, '1');
      window.addEventListener('pagehide', () => sessionStorage.removeItem(page.ALIVE_KEY));
    } catch (error) {
      return;  // no session storage: nothing to tell
    }
    if (restored) {
      page.notify('Trawler\u2019s page stopped unexpectedly and was loaded again; its list ' +
                  'was restored.');
    }
  }

  function bind() {
    findElements();
    bindSearch();
    bindToolbar();
    bindList();
    bindStatus();
    document.addEventListener('keydown', page.onKeyDown);
    view.elements.address.focus();
    page.measureViewport();
    page.render();
    noticeIfRestored();
  }

  // A JSON text's object with a boolean "ok", or null.
  function outcomeOf(text) {
    try {
      const outcome = JSON.parse(text);
      return outcome && typeof outcome.ok === 'boolean' ? outcome : null;
    } catch (error) {
      return null;
    }
  }

  // One row from the native side: JSON text with four strings. O(1): it waits for the
  // next frame's render.
  window.addResult = (text) => {
    if (!state.results.receive(text)) {
      console.warn('Trawler: skipped a result that is not one:', String(text).slice(0, 200));
      return;
    }
    // A page loaded again during a search learns of it from the rows.
    if (state.search === 'idle') state.search = 'searching';
    page.requestStreamRender();
  };

  // A row's update: the same JSON text with the request's outcome as it is now.
  window.updateResult = (text) => {
    if (state.results.update(text)) page.requestStreamRender();
  };

  // A JSON text's object, or null.
  function noticeOf(text) {
    try {
      const notice = JSON.parse(text);
      return notice && typeof notice === 'object' ? notice : null;
    } catch (error) {
      return null;
    }
  }

  // The main page of the search loaded or failed: {url, ok, error, untrustedCertificate,
  // loadMs}.
  window.pageLoaded = (text) => {
    const load = outcomeOf(text);
    if (!load) return;
    state.load = {ok: load.ok, url: String(load.url), error: String(load.error),
                  untrustedCertificate: load.untrustedCertificate === true,
                  loadMs: typeof load.loadMs === 'number' ? load.loadMs : -1};
    page.requestRender();
  };

  // The search resumed: {unlisted}, the responses that came while it was paused and that
  // the list does not hold.
  window.searchResumed = (text) => {
    const resumed = noticeOf(text);
    const unlisted = resumed && typeof resumed.unlisted === 'number' ? resumed.unlisted : 0;
    page.confirmDone('Resumed; ' + unlisted.toLocaleString('en-US') +
                     (unlisted === 1 ? ' response' : ' responses') +
                     ' came while paused, not listed');
  };

  // The search's pages asked for more windows than it gives them: {blocked, allowed}.
  window.windowsBlocked = (text) => {
    const blocked = noticeOf(text);
    if (!blocked || typeof blocked.blocked !== 'number') return;
    state.blockedWindows = blocked.blocked;
    page.requestRender();
  };

  // The engine cannot play video or sound that most pages send: {message}, said on the
  // status line from now on.
  window.mediaUnplayable = (text) => {
    const told = noticeOf(text);
    if (!told || typeof told.message !== 'string') return;
    state.unplayable = told.message;
    page.requestRender();
  };

  // How a save went: {ok, cancelled, path, error}.
  window.savedFile = (text) => {
    const outcome = outcomeOf(text);
    if (!outcome || outcome.cancelled) return;
    if (outcome.ok) {
      page.confirmDone('Saved ' + outcome.path);
    } else {
      page.notify('could not save ' + outcome.path + ': ' + outcome.error);
    }
  };

  // A save's progress: {job, name, state, bytes, total, item, items, joined, path, saved,
  // failures, error}.
  window.saveProgress = (text) => {
    const save = noticeOf(text);
    if (!save || typeof save.job !== 'number' || typeof save.state !== 'string' ||
        !view.elements) {
      return;
    }
    TrawlerSaves.show($('saves'), save);
  };

  // A row's preview: {id, ok, error, mimeType, whole, bytes, data}. Only the one asked for
  // last is shown.
  window.previewReady = (text) => {
    const ready = outcomeOf(text);
    if (!ready || !state.preview || ready.id !== state.preview.id) return;
    if (!ready.ok) {
      page.showPreview({id: ready.id, error: String(ready.error)});
      return;
    }
    page.showPreview({id: ready.id, parts: TrawlerPreview.partsOf({
      mimeType: String(ready.mimeType), whole: ready.whole !== false, data: String(ready.data)})});
  };

  // A cURL command reached the clipboard, or could not: {ok}.
  window.curlCopied = (text) => {
    const outcome = outcomeOf(text);
    if (!outcome) return;
    if (outcome.ok) {
      page.confirmDone('Copied the request as a cURL command');
    } else {
      page.notify('could not copy the request');
    }
  };

  // The address as the native side normalised it.
  window.updateInputUrl = (text) => {
    if (typeof text !== 'string' || !view.elements) return;
    view.elements.address.value = text;
    if (state.search !== 'idle') state.address = text;
    page.requestRender();
  };

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', bind);
  } else {
    bind();
  }
})();

// What the page asks of the native side: the service's commands, called with JSON
// parameters, and the page's own actions built on them (search, open, copy, save, narrow,
// sort). Each changes the page's state and asks for a render.
'use strict';

(function (exports) {
  const page = TrawlerPage;
  const {state} = page;
  const {view} = state;

  // The answer's object, with returnValue 1 or 0 and what else the command answers; null
  // without an answer.
  function askService(method, params) {
    const target = window.service;
    if (!target || typeof target.call !== 'function') return null;
    target.uri = page.SERVICE_URI;
    target.method = method;
    target.params = JSON.stringify(params);
    try {
      const answer = JSON.parse(target.call());
      return answer && typeof answer === 'object' ? answer : null;
    } catch (error) {
      console.warn('Trawler: the answer to ' + method + ' is no JSON', error);
      return null;
    }
  }

  // A command's result: 1 or 0.
  function callService(method, params) {
    const answer = askService(method, params);
    return answer && answer.returnValue === 1 ? 1 : 0;
  }

  function filterMode() {
    return document.querySelector('input[name="filter"]:checked').value;
  }

  function start() {
    const {elements} = view;
    const url = elements.address.value.trim();
    if (!url) {
      elements.addressMessage.textContent = 'type an address to start';
      elements.address.focus();
      return;
    }
    const mode = filterMode();
    const answer = callService('start', {
      url: url,
      filterEnabled: mode !== 'off',
      useFileExtFilter: mode === 'ext',
      fileExtFilter: elements.extFilter.value,
      mimeFilter: elements.mimeFilter.value,
    });
    if (!answer) {
      elements.addressMessage.textContent = 'could not start: check the address';
      return;
    }
    elements.addressMessage.textContent = '';
    state.search = 'searching';
    state.address = elements.address.value || url;
    state.load = null;
    state.searchFirstRow = state.results.rows.length + state.results.pending.length;
    state.blockedWindows = 0;
    state.results.addSeparator(state.address, new Date().toLocaleTimeString('en-GB'));
    state.viewDirty = true;
    view.revealSearch = true;
    page.requestRender();
  }

  function pause() {
    const answer = askService('pause', {});
    if (!answer || answer.returnValue !== 1) {
      page.notify('could not pause');
      return;
    }
    // Resumed, the native side tells how many responses came meanwhile (searchResumed).
    if (state.search === 'searching') {
      state.search = 'paused';
    } else if (state.search === 'paused') {
      state.search = 'searching';
    }
    page.requestRender();
  }

  function stop() {
    if (!callService('stop', {})) {
      page.notify('could not stop');
      return;
    }
    state.search = 'idle';
    page.requestRender();
  }

  // A row's address for open and copyURL: one the page holds only the start of goes with
  // the row's id, for the native side's whole address.
  function addressOf(row) {
    return row.urlLength > row.url.length ? {url: row.url, id: row.id} : {url: row.url};
  }

  // Open hands the address to the desktop; when nothing takes it, the notice offers to save
  // the file with the page's session or to copy its address instead.
  function openRow(row) {
    if (row && !callService('open', addressOf(row))) {
      page.notify('Nothing opened ' + row.fileName +
                  ' \u2014 save it or copy its address instead', row);
    }
  }

  // Saves a row's file, fetched with the page's session, where the user picks; what cannot
  // be saved exactly says why.
  function saveRow(row) {
    if (!row || row.id === null) return;
    // A playlist's row saves its stream as one file (a master playlist's best variant).
    if (TrawlerResults.isPlaylist(row)) return savePlaylist(row);
    const answer = askService('saveFile', {id: row.id});
    if (answer && answer.returnValue === 1) return;
    page.notify(answer && typeof answer.message === 'string' ? answer.message
                                                             : 'could not save ' + row.fileName);
  }

  // Copies a row's address.
  function copyRowUrl(row) {
    if (callService('copyURL', addressOf(row))) {
      page.confirmDone('Copied the URL');
    } else {
      page.notify('could not copy the URL');
    }
  }

  // The pages of the search may open more windows.
  function allowWindows() {
    if (!callService('allowWindows', {})) return;
    state.blockedWindows = 0;
    page.confirmDone('The pages may open more windows');
  }

  // A playlist's segments (a master playlist's variant's) joined into one file.
  function savePlaylist(row, variant) {
    if (!row || row.id === null) return;
    const answer = askService('savePlaylist', {id: row.id, variant});
    if (answer && answer.returnValue === 1) return;
    page.notify(answer && typeof answer.message === 'string' ? answer.message
                                                             : 'could not save the stream');
  }

  // Copies the text and says so ("Copied 47 URLs"), or that it could not.
  function copyText(text, what) {
    if (callService('copyURL', {url: text})) {
      page.confirmDone('Copied ' + what);
    } else {
      page.notify('could not copy ' + what);
    }
  }

  function copyShown(kind) {
    state.results.takePending();
    const count = state.results.shownCount();
    if (!count) {
      page.notify('nothing to copy');
      return;
    }
    const counted = (one, many) => count.toLocaleString('en-US') + (count === 1 ? one : many);
    copyText(state.results.exportText(kind),
             kind === 'urls' ? counted(' URL', ' URLs')
                             : counted(' row', ' rows') + ' as ' + kind.toUpperCase());
  }

  // Saves the shown rows to a file the user picks: HAR from what native code keeps of each
  // row's request, CSV and JSON as copied; savedFile hears how it went. Or ("files") each
  // shown row's file into a folder, fetched with the page's session; saveProgress hears
  // that. The dialog shows after this call.
  function saveShown(format) {
    state.results.takePending();
    const rows = state.results.shownRows();
    if (!rows.length) {
      page.notify('nothing to save');
      return;
    }
    const ids = () => rows.map((row) => row.id).filter((id) => id !== null);
    if (format === 'files') {
      if (!callService('saveShown', {ids: ids()})) page.notify('could not save the files');
      return;
    }
    const params = format.startsWith('har') ? {format, ids: ids()}
                                            : {format, text: state.results.exportText(format)};
    if (!callService('save', params)) page.notify('could not save the list');
  }

  // The selected row's request as a cURL command with the browsing session's cookies: it
  // reaches the clipboard once the session has told them (curlCopied).
  function copySelectedAsCurl() {
    const row = state.results.selected;
    if (!row || row.id === null) {
      page.notify('select a row to copy as cURL');
      return;
    }
    if (!callService('copyCurl', {id: row.id})) page.notify('could not copy the request');
  }

  // The list's view is made anew at the next render.
  function changeView(change) {
    change();
    state.viewDirty = true;
    page.requestRender();
  }

  function narrowTo(text) {
    changeView(() => { state.results.narrow = text.toLowerCase(); });
  }

  // A type chip: "" (All) shows every kind; another adds its kind to those shown, or
  // takes it out again.
  function toggleKind(kind) {
    changeView(() => {
      const kinds = state.results.kinds;
      if (!kind) {
        kinds.clear();
      } else if (!kinds.delete(kind)) {
        kinds.add(kind);
      }
    });
  }

  function sortBy(key) {
    changeView(() => state.results.sortBy(key));
  }

  function showUnique(unique) {
    changeView(() => { state.results.unique = unique; });
  }

  // Asks for the row's preview; it comes later (previewReady), or the notice says why not.
  function previewRow(row) {
    if (!row || row.id === null) return;
    const answer = askService('preview', {id: row.id});
    if (!answer || answer.returnValue !== 1) {
      page.notify(answer && typeof answer.message === 'string' ? answer.message
                                                               : 'There is no body to preview');
      return;
    }
    showPreview({id: row.id});
  }

  // The preview in hand becomes this one ({id, error, parts}).
  function showPreview(preview) {
    state.preview = Object.assign(preview, {generation: ++state.previews});
    page.requestRender();
  }

  function hideInline(hidden) {
    changeView(() => { state.results.hideInline = hidden; });
  }

  function applyPreset(name) {
    const preset = page.PRESETS[name];
    if (!preset) return;
    document.querySelector('input[name="filter"][value="' + preset.mode + '"]').checked = true;
    if (preset.kinds) {
      changeView(() => { state.results.kinds = new Set(preset.kinds); });
      return;
    }
    const box = preset.mode === 'mime' ? view.elements.mimeFilter : view.elements.extFilter;
    box.value = preset.text;
  }

  // The native side frees the rows it keeps for this list.
  function clearList() {
    callService('clear', {});
    state.results.clear();
    state.searchFirstRow = 0;
    state.preview = null;
    TrawlerPreview.release();
    page.requestRender();
  }

  Object.assign(exports, {askService, callService, start, pause, stop, openRow, saveRow,
                          copyRowUrl, allowWindows, savePlaylist, copyShown, saveShown,
                          copySelectedAsCurl, narrowTo, toggleKind, sortBy, showUnique,
                          hideInline, previewRow, showPreview, applyPreset, clearList});
})(TrawlerPage);

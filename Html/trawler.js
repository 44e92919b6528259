// Trawler's UI page. One object holds the page's state (the search, and the results of
// result_model.js: the rows, the view's search text, sort and selection); event handlers
// change it and ask for a render, which derives the document from it at most once per
// animation frame and keeps only the rows in sight in the document (their elements are
// row_view.js's). While rows stream in, the page renders at most a few times a second and
// reads no layout. Text from the web reaches the document through textContent and title
// only. The page defines the globals of the native side's contract: addResult,
// updateResult, pageLoaded, savedFile, saveProgress, curlCopied and updateInputUrl.
'use strict';

(() => {
  const SERVICE_URI = 'com.quillmoor.trawler';
  const NOTICE_MILLISECONDS = 4000;
  // Rows arriving make a render at most this often.
  const STREAM_RENDER_MILLISECONDS = 250;
  // Set while the page lives; still set when the page loads again after its process died,
  // since session storage outlives the process.
  const ALIVE_KEY = 'trawler.pageAlive';
  const PRESETS = {
    video: {mode: 'mime', text: 'video'},
    audio: {mode: 'mime', text: 'audio'},
    images: {mode: 'mime', text: 'image'},
    code: {mode: 'ext', text: '*.js; *.mjs; *.css'},
    // Video, audio and streaming playlists, whatever type a site gives them: the native
    // filter goes off and the list shows the Media kind.
    media: {mode: 'off', kinds: ['media']},
  };
  const STATE_NAMES = {idle: 'Idle', searching: 'Searching',
                       paused: 'Paused: responses are not listed until you resume,'};

  // The page's state, all of it: the search as the native answers gave it, the results
  // (result_model.js: rows, view, sort, selection), and what the page tells the user.
  const state = {
    search: 'idle',  // idle, searching or paused
    address: '',
    results: TrawlerResults.create(),
    notice: '',
    noticeIsError: true,
    viewDirty: false,  // the view must be made anew from every row at the next render
    load: null,  // how the search's page load ended ({ok, url, error}), or null
    detailsOpen: false,  // whether the details pane shows
    searchFirstRow: 0,  // the index in results.rows of the search's first row
    offerRow: null,  // the row the notice offers to save or copy instead (Open failed)
  };

  const $ = (id) => document.getElementById(id);
  let elements = null;
  let renderRequested = false;
  let streamTimer = 0;
  let lastRender = 0;
  let noticeTimer = 0;
  const rowPool = [];
  // A row's height, as the style sheet gives it (--row-height), read once the page is up.
  let rowHeight = 0;
  // The viewport's height and scroll position as last read, outside the render path.
  let viewportHeight = 0;
  let scrollTop = 0;

  // The service: the native commands, called with JSON parameters. The answer's object,
  // with returnValue 1 or 0 and what else the command answers; null without an answer.
  function askService(method, params) {
    const target = window.service;
    if (!target || typeof target.call !== 'function') return null;
    target.uri = SERVICE_URI;
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

  function requestRender() {
    if (renderRequested) return;
    renderRequested = true;
    requestAnimationFrame(render);
  }

  // A render for rows that arrived: never sooner than STREAM_RENDER_MILLISECONDS after the
  // last one.
  function requestStreamRender() {
    if (renderRequested || streamTimer) return;
    const wait = Math.max(0, lastRender + STREAM_RENDER_MILLISECONDS - performance.now());
    streamTimer = setTimeout(() => {
      streamTimer = 0;
      requestRender();
    }, wait);
  }

  function render() {
    renderRequested = false;
    lastRender = performance.now();
    if (!elements) return;
    if (state.viewDirty || state.results.regroup) {
      state.viewDirty = false;
      state.results.takePending();
      state.results.rebuild();
    } else {
      state.results.takePending();
    }
    // The style sheet gives the rows' height; on a busy machine it may apply after the
    // scripts ran, and the list waits for it.
    if (rowHeight > 0 || readRowHeight()) {
      renderRows();
    } else {
      requestRender();
    }
    renderControls();
    renderDetails();
  }

  function readRowHeight() {
    rowHeight = parseFloat(getComputedStyle(document.documentElement)
                               .getPropertyValue('--row-height'));
    return rowHeight > 0;
  }

  function onRowsHover(event) {
    const cell = event.target.closest && event.target.closest('.cell');
    const element = cell ? cell.parentElement : null;
    if (!element || !element.shownRow) return;
    cell.title = TrawlerRows.tooltipOf(element.shownRow, cell);
    element.tooltips = true;
  }

  // Only the rows in sight are in the document. The element of row i is element i modulo
  // their number, so scrolling by a row refills one element, not all of them.
  function renderRows() {
    const {viewport, spacer, grid} = elements;
    const count = state.results.view.length;
    spacer.style.height = count * rowHeight + 'px';
    grid.setAttribute('aria-rowcount', String(count + 1));
    const slots = Math.ceil(viewportHeight / rowHeight) + 1;
    while (rowPool.length < slots) {
      const element = TrawlerRows.make();
      rowPool.push(element);
      viewport.appendChild(element);
    }
    const first = Math.max(0, Math.floor(scrollTop / rowHeight));
    const last = Math.min(count, first + rowPool.length);
    const used = new Set();
    for (let index = first; index < last; ++index) {
      const element = rowPool[index % rowPool.length];
      used.add(element);
      const row = state.results.view[index];
      TrawlerRows.fill(element, row, index, row === state.results.selected, rowHeight,
                       state.results.expanded.has(row.id));
      element.hidden = false;
    }
    for (const element of rowPool) {
      if (used.has(element)) continue;
      element.hidden = true;
      element.shownRow = null;
    }
  }

  function renderControls() {
    const search = state.search;
    elements.pause.disabled = search === 'idle';
    elements.pause.textContent = search === 'paused' ? 'Resume' : 'Pause';
    elements.stop.disabled = search === 'idle';
    for (const chip of elements.chips) {
      const kinds = state.results.kinds;
      const chosen = chip.dataset.kind ? kinds.has(chip.dataset.kind) : kinds.size === 0;
      chip.setAttribute('aria-pressed', String(chosen));
    }
    for (const header of elements.headers) {
      const key = header.dataset.key;
      header.setAttribute('aria-sort', key !== state.results.sortKey ? 'none'
                          : state.results.sortDescending ? 'descending' : 'ascending');
    }
    renderHint();
    const total = state.results.count().toLocaleString('en-US');
    const shown = state.results.shownCount().toLocaleString('en-US');
    const where = state.address && search !== 'idle' ? ' ' + state.address : '';
    elements.statusText.textContent = (state.load ? loadText() : STATE_NAMES[search] + where) +
        ' \u2014 ' + total + ' results, ' + shown + ' shown';
    elements.notice.textContent = state.notice;
    elements.notice.classList.toggle('done', !state.noticeIsError);
    elements.offer.hidden = !state.notice || !state.offerRow;
  }

  // What to do or to expect while the list shows no row.
  function renderHint() {
    const hint = elements.emptyHint;
    hint.hidden = state.results.shownCount() > 0;
    if (hint.hidden) return;
    hint.textContent = state.results.count() > 0
        ? 'No row matches the search text or the chosen types.'
        : state.search === 'idle'
        ? 'Type an address above and press Enter: every response the page receives is listed here.'
        : 'Waiting for the page\u2019s responses\u2026';
  }

  // What the search's page load came to: "Loaded · N requests · M failed", counted over
  // the rows of this search as they are now, or why the page could not be loaded.
  function loadText() {
    if (!state.load.ok) return 'Could not load ' + state.load.url + ': ' + state.load.error;
    const rows = state.results.rows.slice(state.searchFirstRow).filter((row) => !row.separator);
    const failed = rows.filter((row) => TrawlerResults.verdictOf(row) !== '').length;
    const paused = state.search === 'paused' ? ' (paused: responses are not listed)' : '';
    return 'Loaded' + paused + ' \u00B7 ' + rows.length.toLocaleString('en-US') + ' requests \u00B7 ' +
        failed.toLocaleString('en-US') + ' failed';
  }

  // A short confirmation of something done, shown as a notice that is no error.
  function confirmDone(text) {
    notify(text);
    state.noticeIsError = false;
  }

  function notify(text, offerRow) {
    state.noticeIsError = true;
    state.notice = text;
    state.offerRow = offerRow || null;
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(() => {
      state.notice = '';
      requestRender();
    }, NOTICE_MILLISECONDS);
    requestRender();
  }

  function filterMode() {
    return document.querySelector('input[name="filter"]:checked').value;
  }

  function start() {
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
    state.results.addSeparator(state.address, new Date().toLocaleTimeString('en-GB'));
    state.viewDirty = true;
    requestRender();
  }

  function pause() {
    const answer = askService('pause', {});
    if (!answer || answer.returnValue !== 1) {
      notify('could not pause');
      return;
    }
    if (state.search === 'searching') {
      state.search = 'paused';
    } else if (state.search === 'paused') {
      state.search = 'searching';
      // Resumed: how many responses came while paused, which the list does not hold.
      const unlisted = typeof answer.unlisted === 'number' ? answer.unlisted : 0;
      confirmDone('Resumed; ' + unlisted.toLocaleString('en-US') +
                  (unlisted === 1 ? ' response' : ' responses') + ' came while paused, not listed');
    }
    requestRender();
  }

  function stop() {
    if (!callService('stop', {})) {
      notify('could not stop');
      return;
    }
    state.search = 'idle';
    requestRender();
  }

  // Open hands the address to the desktop; when nothing takes it, the notice offers to save
  // the file with the page's session or to copy its address instead.
  function openRow(row) {
    if (row && !callService('open', {url: row.url})) {
      notify('Nothing opened ' + row.fileName + ' \u2014 save it or copy its address instead', row);
    }
  }

  // Saves a row's file, fetched with the page's session, where the user picks.
  function saveRow(row) {
    if (row && row.id !== null && !callService('saveFile', {id: row.id})) notify('could not save ' + row.fileName);
  }

  // A playlist's segments (a master playlist's variant's) joined into one file.
  function savePlaylist(row, variant) {
    if (!row || row.id === null) return;
    const answer = askService('savePlaylist', {id: row.id, variant});
    if (answer && answer.returnValue === 1) return;
    notify(answer && typeof answer.message === 'string' ? answer.message : 'could not save the stream');
  }

  // Copies the text and says so ("Copied 47 URLs"), or that it could not.
  function copyText(text, what) {
    if (callService('copyURL', {url: text})) {
      confirmDone('Copied ' + what);
    } else {
      notify('could not copy ' + what);
    }
  }

  function copyShown(kind) {
    state.results.takePending();
    const count = state.results.shownCount();
    if (!count) {
      notify('nothing to copy');
      return;
    }
    const rows = count.toLocaleString('en-US') + (count === 1 ? ' row' : ' rows');
    copyText(state.results.exportText(kind),
             kind === 'urls' ? count.toLocaleString('en-US') + (count === 1 ? ' URL' : ' URLs')
                             : rows + ' as ' + kind.toUpperCase());
  }

  function narrowTo(text) {
    state.results.narrow = text.toLowerCase();
    state.viewDirty = true;
    requestRender();
  }

  // Saves the shown rows to a file the user picks: HAR from what native code keeps of each
  // row's request, CSV and JSON as copied; savedFile hears how it went. Or ("files") each
  // shown row's file into a folder, fetched with the page's session; saveProgress hears
  // that. The dialog shows after this call.
  function saveShown(format) {
    state.results.takePending();
    const rows = state.results.shownRows();
    if (!rows.length) {
      notify('nothing to save');
      return;
    }
    const ids = () => rows.map((row) => row.id).filter((id) => id !== null);
    if (format === 'files') {
      if (!callService('saveShown', {ids: ids()})) notify('could not save the files');
      return;
    }
    const params = format === 'har' ? {format, ids: ids()}
                                    : {format, text: state.results.exportText(format)};
    if (!callService('save', params)) notify('could not save the list');
  }

  // A type chip: "" (All) shows every kind; another adds its kind to those shown, or
  // takes it out again.
  function toggleKind(kind) {
    const kinds = state.results.kinds;
    if (!kind) {
      kinds.clear();
    } else if (!kinds.delete(kind)) {
      kinds.add(kind);
    }
    state.viewDirty = true;
    requestRender();
  }

  // The selected row's request as a cURL command with the browsing session's cookies: it
  // reaches the clipboard once the session has told them (curlCopied).
  function copySelectedAsCurl() {
    const row = state.results.selected;
    if (!row || row.id === null) {
      notify('select a row to copy as cURL');
      return;
    }
    if (!callService('copyCurl', {id: row.id})) notify('could not copy the request');
  }

  // The details pane, while it is open, shows the selected row's details as they are now.
  function renderDetails() {
    const pane = elements.details;
    pane.hidden = !state.detailsOpen;
    elements.detailsToggle.setAttribute('aria-pressed', String(state.detailsOpen));
    const row = state.results.selected;
    const key = row ? row.id + '/' + row.version : '';
    if (!state.detailsOpen || pane.dataset.shown === key) return;
    pane.dataset.shown = key;
    const answer = row && row.id !== null ? askService('details', {id: row.id}) : null;
    const details = answer && answer.returnValue === 1 ? answer.details : null;
    TrawlerDetails.fill(pane, details, row ? 'Nothing more is known of this row.'
                                           : 'Select a row to see its request and response.');
  }

  function select(row) {
    state.results.selected = row;
    if (row) {
      const index = state.results.view.indexOf(row);
      const top = index * rowHeight;
      if (top < scrollTop) scrollViewportTo(top);
      if (top + rowHeight > scrollTop + viewportHeight) {
        scrollViewportTo(top + rowHeight - viewportHeight);
      }
    }
    requestRender();
  }

  function scrollViewportTo(top) {
    elements.viewport.scrollTop = top;
    scrollTop = elements.viewport.scrollTop;
  }

  function measureViewport() {
    viewportHeight = elements.viewport.clientHeight;
    scrollTop = elements.viewport.scrollTop;
  }

  function moveSelection(step) {
    state.results.takePending();
    const count = state.results.view.length;
    if (!count) return;
    const current = state.results.selected ? state.results.view.indexOf(state.results.selected) : -1;
    const view = state.results.view;
    let next = current < 0 && Math.abs(step) === 1 ? (step > 0 ? 0 : count - 1)
                             : Math.min(count - 1, Math.max(0, Math.max(current, 0) + step));
    // A separator is passed over, in the step's direction, or back when none lies beyond.
    const direction = step > 0 ? 1 : -1;
    while (view[next] && view[next].separator) next += direction;
    if (!view[next]) {
      next = Math.min(count - 1, Math.max(0, next - direction));
      while (view[next] && view[next].separator) next -= direction;
    }
    if (view[next] && !view[next].separator) select(view[next]);
  }

  function sortBy(key) {
    state.results.sortBy(key);
    state.viewDirty = true;
    requestRender();
  }

  function applyPreset(name) {
    const preset = PRESETS[name];
    if (!preset) return;
    document.querySelector('input[name="filter"][value="' + preset.mode + '"]').checked = true;
    if (preset.kinds) {
      state.results.kinds = new Set(preset.kinds);
      state.viewDirty = true;
      requestRender();
      return;
    }
    (preset.mode === 'mime' ? elements.mimeFilter : elements.extFilter).value = preset.text;
  }

  function isTextField(element) {
    return element && (element.tagName === 'TEXTAREA' ||
                       (element.tagName === 'INPUT' && /^(text|search)$/.test(element.type)));
  }

  // The keys that move the selection, and by how many rows (a page: the rows in sight).
  const SELECTION_STEPS = {
    ArrowDown: () => 1,
    ArrowUp: () => -1,
    PageDown: () => Math.max(1, Math.floor(viewportHeight / rowHeight) - 1),
    PageUp: () => -Math.max(1, Math.floor(viewportHeight / rowHeight) - 1),
    Home: () => -Infinity,
    End: () => Infinity,
  };

  function onKeyDown(event) {
    const control = event.ctrlKey || event.metaKey;
    const key = event.key;
    const inText = isTextField(document.activeElement);
    if (key === 'Escape') {
      event.preventDefault();
      // Esc clears a search box with text first; from anywhere else it stops the capture.
      if (document.activeElement === elements.narrow && elements.narrow.value) {
        elements.narrow.value = '';
        narrowTo('');
      } else {
        stop();
      }
    } else if (control && !event.shiftKey && (key === 'f' || key === 'F')) {
      event.preventDefault();
      elements.narrow.focus();
      elements.narrow.select();
    } else if (control && event.shiftKey && (key === 'c' || key === 'C')) {
      event.preventDefault();
      copyShown('urls');
    } else if (control && key === 'c' && !inText && state.results.selected &&
               !String(window.getSelection())) {
      event.preventDefault();
      copyText(state.results.selected.url, 'the URL');
    } else if (control && (key === 's' || key === 'S') && state.results.selected) {
      event.preventDefault();
      saveRow(state.results.selected);
    } else if ((key === 'ArrowRight' || key === 'ArrowLeft') && !inText &&
               foldable(state.results.selected, key === 'ArrowRight')) {
      // As in a tree: Right unfolds the selected playlist's segments, Left folds them.
      event.preventDefault();
      state.results.toggleFold(state.results.selected.id);
      requestRender();
    } else if (key in SELECTION_STEPS && !inText) {
      event.preventDefault();
      moveSelection(SELECTION_STEPS[key]());
    } else if (key === 'Enter' && !inText && document.activeElement.tagName !== 'BUTTON' &&
               !document.activeElement.dataset.key && state.results.selected) {
      event.preventDefault();
      openRow(state.results.selected);
    }
  }

  // Whether the row is a playlist with segments that the key would unfold (or fold).
  function foldable(row, unfold) {
    return Boolean(row && row.children) && state.results.expanded.has(row.id) !== unfold;
  }

  function onRowsClick(event) {
    const element = event.target.closest('.row');
    if (!element || !element.shownRow || element.shownRow.separator) return;
    const row = element.shownRow;
    const action = event.target.dataset ? event.target.dataset.action : undefined;
    if (action === 'fold') {
      state.results.toggleFold(row.id);
      requestRender();
    } else if (action === 'save') {
      saveRow(row);
    } else if (action === 'open') {
      openRow(row);
    } else if (action === 'copy') {
      copyText(row.url, 'the URL');
    }
    select(row);
  }

  function bind() {
    elements = {
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
      chips: Array.from(document.querySelectorAll('[data-kind]')),
      details: $('details'),
      emptyHint: $('empty-hint'),
      detailsToggle: $('details-toggle'),
    };
    elements.notice.className = 'notice';
    elements.offer = document.createElement('span');
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
      if (event.target.dataset.offer === 'save') saveRow(row); else copyText(row.url, 'the URL');
      requestRender();
    });
    $('status').append(elements.statusText, elements.notice, elements.offer);
    elements.details.addEventListener('click', (event) => {
      if (event.target.dataset.action !== 'save-playlist') return;
      savePlaylist(state.results.selected, Number(event.target.dataset.variant));
    });
    $('saves').addEventListener('click', (event) => {
      const job = Number(event.target.dataset.job);
      if (event.target.dataset.action === 'cancel-save') {
        if (!callService('cancelSave', {job})) notify('could not cancel the save');
      } else if (event.target.dataset.action === 'dismiss-save') {
        TrawlerSaves.dismiss($('saves'), job);
      }
    });
    $('search-form').addEventListener('submit', (event) => {
      event.preventDefault();
      start();
    });
    elements.pause.addEventListener('click', pause);
    elements.stop.addEventListener('click', stop);
    for (const button of document.querySelectorAll('[data-preset]')) {
      button.addEventListener('click', () => applyPreset(button.dataset.preset));
    }
    elements.narrow.addEventListener('input', () => narrowTo(elements.narrow.value));
    // Typing in a filter's box chooses that filter; Enter there starts, as in the address.
    for (const [box, mode] of [[elements.mimeFilter, 'mime'], [elements.extFilter, 'ext']]) {
      box.addEventListener('input', () => {
        document.querySelector('input[name=filter][value=' + mode + ']').checked = true;
      });
      box.addEventListener('keydown', (event) => {
        if (event.key !== 'Enter') return;
        event.preventDefault();
        start();
      });
    }
    elements.unique.addEventListener('change', () => {
      state.results.unique = elements.unique.checked;
      state.viewDirty = true;
      requestRender();
    });
    for (const chip of elements.chips) {
      const kinds = state.results.kinds;
      const chosen = chip.dataset.kind ? kinds.has(chip.dataset.kind) : kinds.size === 0;
      chip.setAttribute('aria-pressed', String(chosen));
    }
    for (const header of elements.headers) {
      header.addEventListener('click', () => sortBy(header.dataset.key));
      header.addEventListener('keydown', (event) => {
        if (event.key === 'Enter' || event.key === ' ') {
          event.preventDefault();
          sortBy(header.dataset.key);
        }
      });
    }
    $('copy-all').addEventListener('click', () => copyShown('urls'));
    $('copy-csv').addEventListener('click', () => copyShown('csv'));
    $('copy-json').addEventListener('click', () => copyShown('json'));
    $('copy-curl').addEventListener('click', copySelectedAsCurl);
    // The export menu closes once one of its actions ran.
    $('export-menu').addEventListener('click', (event) => {
      if (event.target.tagName === 'BUTTON') $('export-menu').open = false;
    });
    for (const chip of elements.chips) {
      chip.addEventListener('click', () => toggleKind(chip.dataset.kind));
    }
    for (const button of document.querySelectorAll('[data-save]')) {
      button.addEventListener('click', () => saveShown(button.dataset.save));
    }
    elements.detailsToggle.addEventListener('click', () => {
      state.detailsOpen = !state.detailsOpen;
      requestRender();
    });
    $('clear').addEventListener('click', () => {
      // The native side frees the rows it keeps for this list.
      callService('clear', {});
      state.results.clear();
      state.searchFirstRow = 0;
      requestRender();
    });
    elements.viewport.addEventListener('mouseover', onRowsHover);
    elements.viewport.addEventListener('scroll', () => {
      scrollTop = elements.viewport.scrollTop;
      requestRender();
    }, {passive: true});
    elements.viewport.addEventListener('click', onRowsClick);
    new ResizeObserver(() => {
      measureViewport();
      requestRender();
    }).observe(elements.viewport);
    document.addEventListener('keydown', onKeyDown);
    elements.address.focus();
    measureViewport();
    render();
    noticeIfRestored();
  }

  // Says so when the page came back after its process died (its list comes back with it).
  function noticeIfRestored() {
    let restored = false;
    try {
      restored = sessionStorage.getItem(ALIVE_KEY) === '1';
      sessionStorage.setItem(ALIVE_KEY, '1');
      window.addEventListener('pagehide', () => sessionStorage.removeItem(ALIVE_KEY));
    } catch (error) {
      return;  // no session storage: nothing to tell
    }
    if (restored) {
      notify('Trawler\u2019s page stopped unexpectedly and was loaded again; its list was ' +
             'restored.');
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
    requestStreamRender();
  };

  // A row's update: the same JSON text with the request's outcome as it is now.
  window.updateResult = (text) => {
    if (state.results.update(text)) requestStreamRender();
  };

  // A JSON text's object with a boolean "ok", or null.
  function outcomeOf(text) {
    try {
      const outcome = JSON.parse(text);
      return outcome && typeof outcome.ok === 'boolean' ? outcome : null;
    } catch (error) {
      return null;
    }
  }

  // The main page of the search loaded or failed: {url, ok, error}.
  window.pageLoaded = (text) => {
    const load = outcomeOf(text);
    if (!load) return;
    state.load = {ok: load.ok, url: String(load.url), error: String(load.error)};
    requestRender();
  };

  // How a save went: {ok, cancelled, path, error}.
  window.savedFile = (text) => {
    const outcome = outcomeOf(text);
    if (!outcome || outcome.cancelled) return;
    if (outcome.ok) {
      confirmDone('Saved ' + outcome.path);
    } else {
      notify('could not save ' + outcome.path + ': ' + outcome.error);
    }
  };

  // A save's progress: {job, name, state, bytes, total, item, items, joined, path, error}.
  window.saveProgress = (text) => {
    let save;
    try {
      save = JSON.parse(text);
    } catch (error) {
      return;
    }
    if (!save || typeof save.job !== 'number' || typeof save.state !== 'string' || !elements) return;
    TrawlerSaves.show($('saves'), save);
  };

  // A cURL command reached the clipboard, or could not: {ok}.
  window.curlCopied = (text) => {
    const outcome = outcomeOf(text);
    if (!outcome) return;
    if (outcome.ok) {
      confirmDone('Copied the request as a cURL command');
    } else {
      notify('could not copy the request');
    }
  };

  // The address as the native side normalised it.
  window.updateInputUrl = (text) => {
    if (typeof text !== 'string' || !elements) return;
    elements.address.value = text;
    if (state.search !== 'idle') state.address = text;
    requestRender();
  };

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', bind);
  } else {
    bind();
  }
})();

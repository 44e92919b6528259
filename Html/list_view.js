// The list as the document shows it: a render derives the document from the page's state at
// most once per animation frame and keeps only the rows in sight in the document (their
// elements are row_view.js's). While rows stream in, the page renders at most a few times a
// second and reads no layout.
'use strict';

(function (exports) {
  const page = TrawlerPage;
  const {state} = page;
  const {view} = state;

  function requestRender() {
    if (view.renderRequested) return;
    view.renderRequested = true;
    requestAnimationFrame(render);
  }

  // A render for rows that arrived: never sooner than STREAM_RENDER_MILLISECONDS after the
  // last one.
  function requestStreamRender() {
    if (view.renderRequested || view.streamTimer) return;
    const wait =
        Math.max(0, view.lastRender + page.STREAM_RENDER_MILLISECONDS - performance.now());
    view.streamTimer = setTimeout(() => {
      view.streamTimer = 0;
      requestRender();
    }, wait);
  }

  function render() {
    view.renderRequested = false;
    view.lastRender = performance.now();
    if (!view.elements) return;
    state.results.takePending();
    if (state.viewDirty || state.results.regroup) {
      state.viewDirty = false;
      state.results.rebuild();
    }
    // The style sheet gives the rows' height; on a busy machine it may apply after the
    // scripts ran, and the list waits for it.
    if (view.rowHeight > 0 || readRowHeight()) {
      renderRows();
    } else {
      requestRender();
    }
    renderControls();
    renderDetails();
  }

  function readRowHeight() {
    view.rowHeight = parseFloat(getComputedStyle(document.documentElement)
                                    .getPropertyValue('--row-height'));
    return view.rowHeight > 0;
  }

  // A new search's separator goes to the top of the list, its rows under it: the list
  // follows it while its rows come, until it is at the top or the user scrolls. A sorted
  // list has no separators: it stays where it is.
  function revealSearch() {
    const rows = state.results.view;
    let index = rows.length - 1;
    while (index >= 0 && !rows[index].separator) --index;
    if (state.results.sortKey || index < 0) {
      view.revealSearch = false;
      return;
    }
    const top = index * view.rowHeight;
    scrollViewportTo(top);
    if (view.scrollTop >= top - 1) view.revealSearch = false;
  }

  // The waterfall's scale, in milliseconds: the shown rows' latest end, or the page's load
  // when that came later. The load's mark is drawn by the style sheet in every row's cell.
  function waterfallSpan() {
    const loaded = state.load && state.load.loadMs > 0 ? state.load.loadMs : 0;
    const span = Math.max(state.results.span, loaded);
    const mark = span > 0 && loaded > 0 ? (loaded / span * 100) + '%' : '';
    if (view.loadMark !== mark) {
      view.loadMark = mark;
      if (mark) view.elements.grid.style.setProperty('--load', mark);
      view.elements.grid.classList.toggle('load-known', Boolean(mark));
    }
    return span;
  }

  // The actions (open, copy, save) are one bar, over the row under the pointer or else the
  // selected one, while that row is in sight.
  function placeActions(element) {
    const bar = view.elements.rowActions;
    const row = element ? element.shownRow : null;
    bar.hidden = !row;
    if (!row) return;
    bar.classList.toggle('on-selected', row === state.results.selected);
    if (bar.shownRow === row && bar.shownIndex === element.shownIndex) return;
    bar.shownRow = row;
    bar.shownIndex = element.shownIndex;
    bar.style.transform = element.style.transform;
    for (const button of bar.children) {
      button.setAttribute('aria-label', button.textContent.replace('\u2026', '') + ' ' +
                                        row.url);
    }
  }

  // Only the rows in sight are in the document. The element of row i is element i modulo
  // their number, so scrolling by a row refills one element, not all of them.
  function renderRows() {
    const {viewport, spacer, grid} = view.elements;
    const {rowPool, rowHeight} = view;
    const count = state.results.view.length;
    const span = waterfallSpan();
    view.span = span;
    const inHand = view.hoverRow || state.results.selected;
    let actionsOver = null;
    spacer.style.height = count * rowHeight + 'px';
    if (view.revealSearch) revealSearch();
    grid.setAttribute('aria-rowcount', String(count + 1));
    const slots = Math.ceil(view.viewportHeight / rowHeight) + 1;
    while (rowPool.length < slots) {
      const element = TrawlerRows.make();
      rowPool.push(element);
      viewport.appendChild(element);
    }
    const first = Math.max(0, Math.floor(view.scrollTop / rowHeight));
    const last = Math.min(count, first + rowPool.length);
    const used = new Set();
    for (let index = first; index < last; ++index) {
      const element = rowPool[index % rowPool.length];
      used.add(element);
      const row = state.results.view[index];
      TrawlerRows.fill(element, row, index, row === state.results.selected, rowHeight,
                       state.results.expanded.has(row.id), span);
      element.hidden = false;
      if (row === inHand && !row.separator) actionsOver = element;
    }
    placeActions(actionsOver);
    for (const element of rowPool) {
      if (used.has(element)) continue;
      element.hidden = true;
      element.shownRow = null;
    }
  }

  function renderControls() {
    const {elements} = view;
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
    const where = state.address && search !== 'idle' ? ' ' + state.address : '';
    elements.statusText.textContent =
        (state.load ? loadText() : page.STATE_NAMES[search] + where) + ' \u2014 ' +
        countsText() + (state.unplayable ? ' \u00B7 ' + state.unplayable : '');
    elements.notice.textContent = state.notice;
    elements.notice.classList.toggle('done', !state.noticeIsError);
    elements.offer.hidden = !state.notice || !state.offerRow;
    elements.windowsOffer.hidden = !state.blockedWindows;
    elements.windowsOffer.firstChild.textContent =
        state.blockedWindows.toLocaleString('en-US') +
        (state.blockedWindows === 1 ? ' window' : ' windows') + ' blocked ';
  }

  // What to do or to expect while the list shows no row.
  function renderHint() {
    const hint = view.elements.emptyHint;
    hint.hidden = state.results.shownCount() > 0;
    if (hint.hidden) return;
    hint.textContent = state.results.count() > 0
        ? 'No row matches the search text or the chosen types.'
        : state.search === 'idle'
        ? 'Type an address above and press Enter: every response the page receives is listed here.'
        : 'Waiting for the page\u2019s responses\u2026';
  }

  // What the search's page load came to, or why the page could not be loaded; and whether
  // its certificate is one nobody vouches for.
  function loadText() {
    const untrusted = state.load.untrustedCertificate
        ? ' \u00B7 certificate not trusted' : '';
    if (!state.load.ok) {
      return 'Could not load ' + state.load.url + ': ' + state.load.error + untrusted;
    }
    const paused = state.search === 'paused' ? ' (paused: responses are not listed)' : '';
    const time = state.load.loadMs >= 0
        ? ' in ' + state.load.loadMs.toLocaleString('en-US') + ' ms' : '';
    return 'Loaded ' + state.load.url + time + paused + untrusted;
  }

  // The rows the list holds, of every search, those shown, and those that failed or were
  // cancelled.
  function countsText() {
    const results = state.results;
    const number = (count) => count.toLocaleString('en-US');
    const {error, failed, cancelled} = results.tally;
    return number(results.count()) + ' results, ' + number(results.shownCount()) +
        ' shown \u00B7 ' + number(error + failed) + ' failed' +
        (cancelled ? ' \u00B7 ' + number(cancelled) + ' cancelled' : '');
  }

  // The details pane, while it is open, shows the selected row's details as they are now.
  function renderDetails() {
    const pane = view.elements.details;
    pane.hidden = !state.detailsOpen;
    document.body.classList.toggle('details-open', state.detailsOpen);
    view.elements.detailsToggle.setAttribute('aria-pressed', String(state.detailsOpen));
    const row = state.results.selected;
    const preview = row && state.preview && state.preview.id === row.id ? state.preview : null;
    const key = row ? [row.id, row.version, view.span, preview ? preview.generation : 0].join('/')
                    : '';
    if (!state.detailsOpen || pane.dataset.shown === key) return;
    pane.dataset.shown = key;
    const answer = row && row.id !== null ? page.askService('details', {id: row.id}) : null;
    const details = answer && answer.returnValue === 1 ? answer.details : null;
    TrawlerDetails.fill(pane, details, row ? 'Nothing more is known of this row.'
                                           : 'Select a row to see its request and response.',
                        view.span, preview);
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
    clearTimeout(view.noticeTimer);
    view.noticeTimer = setTimeout(() => {
      state.notice = '';
      requestRender();
    }, page.NOTICE_MILLISECONDS);
    requestRender();
  }

  function select(row) {
    state.results.selected = row;
    if (row) {
      const top = state.results.view.indexOf(row) * view.rowHeight;
      if (top < view.scrollTop) scrollViewportTo(top);
      if (top + view.rowHeight > view.scrollTop + view.viewportHeight) {
        scrollViewportTo(top + view.rowHeight - view.viewportHeight);
      }
    }
    requestRender();
  }

  function scrollViewportTo(top) {
    view.elements.viewport.scrollTop = top;
    view.scrollTop = view.elements.viewport.scrollTop;
  }

  function measureViewport() {
    view.viewportHeight = view.elements.viewport.clientHeight;
    view.scrollTop = view.elements.viewport.scrollTop;
  }

  // The rows a page of the list holds: those in sight, less one.
  function pageRows() {
    return Math.max(1, Math.floor(view.viewportHeight / view.rowHeight) - 1);
  }

  function moveSelection(step) {
    state.results.takePending();
    const rows = state.results.view;
    const count = rows.length;
    if (!count) return;
    const current = state.results.selected ? rows.indexOf(state.results.selected) : -1;
    let next = current < 0 && Math.abs(step) === 1
        ? (step > 0 ? 0 : count - 1)
        : Math.min(count - 1, Math.max(0, Math.max(current, 0) + step));
    // A separator is passed over, in the step's direction, or back when none lies beyond.
    const direction = step > 0 ? 1 : -1;
    while (rows[next] && rows[next].separator) next += direction;
    if (!rows[next]) {
      next = Math.min(count - 1, Math.max(0, next - direction));
      while (rows[next] && rows[next].separator) next -= direction;
    }
    if (rows[next] && !rows[next].separator) select(rows[next]);
  }

  function onRowsHover(event) {
    const cell = event.target.closest && event.target.closest('.cell');
    const element = cell ? cell.parentElement : null;
    if (!element || !element.shownRow) return;
    if (view.hoverRow !== element.shownRow) {
      view.hoverRow = element.shownRow;
      requestRender();
    }
    cell.title = TrawlerRows.tooltipOf(element.shownRow, cell);
    element.tooltips = true;
  }

  // The user scrolls the list: it no longer follows the new search.
  function onUserScroll() {
    view.revealSearch = false;
  }

  // The pointer left the list: the actions go back to the selected row.
  function onRowsLeave() {
    view.hoverRow = null;
    requestRender();
  }

  Object.assign(exports, {requestRender, onRowsLeave, onUserScroll, requestStreamRender, render, confirmDone, notify,
                          select, measureViewport, pageRows, moveSelection, onRowsHover});
})(TrawlerPage);

// The list's row elements: made once, filled with a row of the view as it scrolls by, the
// parts named (never found by position), the outcome and the waterfall drawn again when the
// row is updated, tooltips made only for the cell under the pointer. Few elements a row:
// the actions are one bar over the row in hand (list_view.js). Text from the web reaches the
// document through textContent and title only.
'use strict';

(function (exports) {
  function make() {
    const element = document.createElement('div');
    element.className = 'row';
    element.setAttribute('role', 'row');
    // The parts a row is filled through, by name.
    element.parts = {};
    for (const name of ['name', 'outcome', 'method', 'mime', 'size', 'time', 'waterfall', 'url']) {
      const cell = document.createElement('div');
      cell.className = 'cell ' + name;
      cell.setAttribute('role', 'gridcell');
      element.appendChild(cell);
      element.parts[name] = cell;
    }
    const name = element.parts.name;
    name.parts = {fold: document.createElement('button'), text: document.createElement('span'),
                  about: document.createElement('span')};
    name.parts.fold.type = 'button';
    name.parts.fold.tabIndex = -1;
    name.parts.fold.className = 'fold';
    name.parts.fold.dataset.action = 'fold';
    name.parts.about.className = 'about';
    name.append(name.parts.fold, name.parts.text, name.parts.about);
    element.parts.bar = document.createElement('span');
    element.parts.bar.className = 'bar';
    element.parts.waterfall.appendChild(element.parts.bar);
    element.shownRow = null;
    return element;
  }

  // Where a response came from, as the status cell's tooltip says it.
  const CACHES = {memory: ' (from the memory cache)', disk: ' (from the disk cache)',
                  revalidated: ' (the cached copy, confirmed by the server)'};

  // The status cell's text: the status (with an arrow when redirects led to it, "(cache)"
  // when it came from one), "Cancelled", "Blocked", "Failed", or nothing while no response
  // came; its tooltip says the rest. A status the server answered stands, whatever came
  // after it.
  function statusOf(row) {
    const after = row.error ? '; then: ' + row.error : row.cancelled ? '; then cancelled' : '';
    if (!row.status) {
      if (row.cancelled) return {text: 'Cancelled', title: 'Cancelled before any response'};
      if (row.blocked) {
        return {text: 'Blocked', title: 'A window the page asked for; it was not opened'};
      }
      return row.error ? {text: 'Failed', title: row.error} : {text: '', title: ''};
    }
    const hops = row.redirects ? ' \u21AA' + row.redirects : '';
    const through = row.redirects ? ' (after ' + row.redirects + ' redirects)' : '';
    const cached = row.cache ? ' (cache)' : '';
    const untrusted = row.untrustedCertificate ? '; its certificate is one nobody vouches for' : '';
    return {text: row.status + hops + cached,
            title: row.status + ' ' + row.statusText + through + (CACHES[row.cache] || '') + after +
                   untrusted};
  }

  function seconds(value) {
    return value >= 60 ? Math.floor(value / 60) + ' min ' + Math.round(value % 60) + ' s'
                       : (Math.round(value * 10) / 10) + ' s';
  }

  // What a playlist holds, in a few words: "2 variants", "5 segments · 20 s · encrypted",
  // or its note.
  function playlistSummary(playlist) {
    if (!playlist) return '';
    if (playlist.kind === 'unknown') return playlist.note;
    if (playlist.kind === 'hls-master' || playlist.kind === 'dash') {
      const count = playlist.variants.length;
      const what = playlist.kind === 'dash' ? 'DASH \u00B7 ' : '';
      return what + count + (count === 1 ? ' variant' : ' variants') +
             (playlist.duration > 0 ? ' \u00B7 ' + seconds(playlist.duration) : '');
    }
    const parts = [playlist.segments + (playlist.segments === 1 ? ' segment' : ' segments')];
    if (playlist.duration > 0) parts.push(seconds(playlist.duration));
    if (playlist.live) parts.push('live');
    if (playlist.encryption) parts.push('encrypted');
    if (playlist.note) parts.push(playlist.note);
    return parts.join(' \u00B7 ');
  }

  // The name cell's fold toggle (a playlist with segments listed) and the playlist's summary.
  function fillName(name, row, expanded) {
    const {fold, about} = name.parts;
    fold.hidden = !row.children;
    fold.textContent = row.children ? (expanded ? '\u25BE ' : '\u25B8 ') + row.children : '';
    fold.setAttribute('aria-expanded', String(expanded));
    fold.setAttribute('aria-label', (expanded ? 'Fold ' : 'Unfold ') + row.children +
                                    ' segments');
    about.textContent = playlistSummary(row.playlist);
    name.classList.toggle('segment', row.parent !== 0);
  }

  // A URL as its cell shows it: a long one cut in the middle, so that its start (the host)
  // and its end (file name, query) stay in sight; one longer than the page holds says how
  // long it is.
  function shownUrl(row) {
    if (row.urlLength > row.url.length) {
      return row.url.slice(0, 60) + ' \u2026 (' + row.urlLength.toLocaleString('en-US') +
             ' characters)';
    }
    return row.url.length > 90 ? row.url.slice(0, 50) + '\u2026' + row.url.slice(-36) : row.url;
  }

  // Where a request's bar lies on the waterfall, as fractions of the scale: its start, the
  // wait for its response, and all of it (a row still loading ends at the scale's end).
  function barOf(row, span) {
    if (!(span > 0) || row.start < 0) return null;
    const start = row.start / span;
    const end = row.duration >= 0 ? (row.start + row.duration) / span : 1;
    const response = row.response >= 0 ? (row.start + row.response) / span : end;
    return {start, wait: Math.max(0, response - start), width: Math.max(0, end - start)};
  }

  function fillBar(bar, row, span) {
    const drawn = barOf(row, span);
    bar.hidden = !drawn;
    if (!drawn) return;
    bar.style.left = (drawn.start * 100) + '%';
    bar.style.width = 'max(2px, ' + (drawn.width * 100) + '%)';
    // The waiting part, then the receiving part.
    const waiting = drawn.width > 0 ? Math.min(100, drawn.wait / drawn.width * 100) : 100;
    bar.style.setProperty('--wait', waiting + '%');
    bar.classList.toggle('loading', row.duration < 0);
  }

  function fillOutcome(element, row, span) {
    const {outcome, method, time, bar} = element.parts;
    const shown = statusOf(row);
    outcome.textContent = shown.text;
    method.textContent = row.method;
    time.textContent = row.duration >= 0 ? row.duration + ' ms' : '';
    fillBar(bar, row, span);
    element.dataset.verdict = TrawlerResults.verdictOf(row);
    element.shownVersion = row.version;
    element.shownSpan = span;
  }

  // A cell's tooltip, made when the pointer comes over it, not each time a row is drawn.
  function tooltipOf(row, cell) {
    const kind = cell.classList;
    if (kind.contains('name')) return row.fileName + (row.playlist ? '\n' + playlistSummary(row.playlist) : '');
    if (kind.contains('mime')) return row.mimeType;
    if (kind.contains('outcome')) return statusOf(row).title;
    if (kind.contains('waterfall')) {
      if (row.start < 0) return '';
      const response = row.response >= 0 ? ', response after ' + row.response + ' ms' : '';
      return 'Started ' + row.start + ' ms into the search' + response +
             (row.duration >= 0 ? ', ended after ' + row.duration + ' ms' : ', still loading');
    }
    // A tooltip of a very long URL would run off the screen: it says the start.
    if (kind.contains('url')) return row.url.length > 400 ? row.url.slice(0, 400) + '\u2026' : row.url;
    return '';
  }

  function clearTooltips(element) {
    for (const cell of element.children) cell.removeAttribute('title');
    element.tooltips = false;
  }

  // Fills a row element with a row of the view at its index, selected or not, its bar on a
  // waterfall of span milliseconds; what it already shows is left as it is.
  function fill(element, row, index, selected, rowHeight, expanded, span) {
    if (element.shownRow === row && element.shownIndex === index &&
        element.shownVersion === row.version && element.shownSelected === selected &&
        element.shownExpanded === expanded && element.shownSpan === span) {
      return;
    }
    element.shownIndex = index;
    element.shownSelected = selected;
    const changed = element.shownRow !== row || element.shownVersion !== row.version;
    if (changed || element.shownExpanded !== expanded) fillName(element.parts.name, row, expanded);
    element.shownExpanded = expanded;
    if (changed || element.shownSpan !== span) {
      fillOutcome(element, row, span);
      if (element.tooltips) clearTooltips(element);
    }
    if (element.shownRow !== row) {
      element.shownRow = row;
      if (element.tooltips) clearTooltips(element);
      const {name, mime, size, url} = element.parts;
      // A search's separator: its address and time across the row, no actions.
      element.classList.toggle('separator', Boolean(row.separator));
      name.parts.text.textContent =
          row.separator ? 'Search ' + row.url + ' \u00B7 ' + row.time : row.fileName;
      mime.textContent = row.mimeType;
      size.textContent = row.size;
      url.textContent = shownUrl(row);
    }
    element.dataset.index = String(index);
    element.style.transform = 'translateY(' + index * rowHeight + 'px)';
    element.setAttribute('aria-rowindex', String(index + 2));
    element.setAttribute('aria-selected', selected ? 'true' : 'false');
  }

  exports.barOf = barOf;
  exports.fillBar = fillBar;
  exports.shownUrl = shownUrl;
  exports.make = make;
  exports.fill = fill;
  exports.tooltipOf = tooltipOf;
  exports.playlistSummary = playlistSummary;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerRows = {}));

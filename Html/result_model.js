// The results of Trawler's UI page with no document: every row received (with its
// request's outcome, updated as the request goes on), the rows shown (narrowed by a search
// text, one per URL if asked, sorted by a column), the selection, and the exports. The page loads it as a plain script (TrawlerResults); Node's test runner
// loads it as a module.
'use strict';

(function (exports) {
  const UNITS = {B: 1, KB: 2 ** 10, MB: 2 ** 20, GB: 2 ** 30, TB: 2 ** 40, PB: 2 ** 50};
  const FIELDS = ['fileName', 'mimeType', 'size', 'url'];

  // The bytes a size text says ("1.50KB"), or NaN ("unknown").
  function bytesOf(size) {
    const match = /^(\d+(?:\.\d+)?)(B|KB|MB|GB|TB|PB)$/.exec(size);
    return match ? Number(match[1]) * UNITS[match[2]] : NaN;
  }

  // A member of a result: the value when it has the fallback's type, else the fallback.
  function pick(value, fallback) {
    return typeof value === typeof fallback ? value : fallback;
  }

  // The request's outcome a row may carry, each member of its type or what a row without it
  // counts as. One object shape for every row, made member by member: rows stream in.
  function outcomeOf(result) {
    return {
      id: typeof result.id === 'number' ? result.id : null,
      status: pick(result.status, 0),
      statusText: pick(result.statusText, ''),
      method: pick(result.method, 'GET'),
      window: pick(result.window, 0),
      start: pick(result.start, -1),
      response: pick(result.response, -1),  // from the start to the response's headers
      duration: pick(result.duration, -1),
      received: pick(result.received, -1),
      redirects: pick(result.redirects, 0),
      fromCache: pick(result.fromCache, false),
      cache: pick(result.cache, ''),  // "", "memory", "disk" or "revalidated"
      error: pick(result.error, ''),
      cancelled: pick(result.cancelled, false),
      blocked: pick(result.blocked, false),
      untrustedCertificate: pick(result.untrustedCertificate, false),
      // The playlist row this is a segment of (0: none), and a playlist's facts.
      parent: pick(result.parent, 0),
      playlist: result.playlist && typeof result.playlist === 'object' ? result.playlist : null,
    };
  }

  // A playlist whose text was read is media, whatever type it came with.
  function isPlaylist(row) {
    return Boolean(row.playlist) && row.playlist.kind !== 'unknown';
  }

  // The columns of a CSV or JSON export, in order.
  const EXPORTED = ['fileName', 'mimeType', 'size', 'bytes', 'url', 'status', 'method',
                    'duration', 'redirects', 'fromCache', 'cache', 'error', 'cancelled'];
  const NUMERIC = new Set(['size', 'status', 'duration', 'start']);

  // A spreadsheet runs a cell that starts with =, +, -, @ (or a tab or CR before one) as a
  // formula: such a cell gets a leading apostrophe. Fields with a quote, comma or line
  // break are quoted, quotes doubled.
  function csvField(value) {
    let text = String(value);
    if (typeof value === 'string' && /^[=+\-@\t\r]/.test(text)) text = "'" + text;
    return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
  }

  // The type chips over the list, and the row's kind by its MIME type, file name and method.
  const KINDS = ['document', 'style', 'script', 'font', 'image', 'media', 'fetch', 'other'];
  const KIND_RULES = [
    ['document', /^(text\/html|application\/xhtml\+xml)/, /\.html?$/],
    ['style', /^text\/css/, /\.css$/],
    ['script', /(java|ecma)script/, /\.m?js$/],
    ['font', /^font\/|^application\/(x-)?font|woff/, /\.(woff2?|ttf|otf|eot)$/],
    ['image', /^image\//, /\.(png|jpe?g|gif|webp|avif|svg|ico|bmp)$/],
    ['media', /^(video|audio)\/|mpegurl|dash\+xml|ms-sstr/, /\.(m3u8|mpd|ts|m4s|mp4|webm|mp3|ogg)$/],
    ['fetch', /json|xml|^text\/plain/, /\.(json|xml)$/],
  ];

  // The kinds the types said, by type: a list has few types and many rows.
  const kindsByType = new Map();
  // Streaming playlists by name: sites serve them as text/plain or octet-stream too.
  const PLAYLIST_NAME = /\.(m3u8|mpd)$/i;

  // A playlist's name says first, then the type; a type that says nothing (none,
  // application/octet-stream) leaves it to the name.
  function kindOf(mimeType, fileName, method) {
    if (PLAYLIST_NAME.test(fileName)) return 'media';
    let byType = kindsByType.get(mimeType);
    if (byType === undefined) {
      const mime = mimeType.toLowerCase();
      const rule = KIND_RULES.find((candidate) => candidate[1].test(mime));
      byType = rule ? rule[0] : '';
      if (kindsByType.size < 1000) kindsByType.set(mimeType, byType);
    }
    if (byType) return byType;
    const name = fileName.toLowerCase();
    const byName = KIND_RULES.find((rule) => rule[2].test(name));
    if (byName) return byName[0];
    return method !== 'GET' ? 'fetch' : 'other';
  }

  // Addresses of what a page made itself, not fetched: icons as data:, players' media as blob:.
  const INLINE = /^(data|blob):/i;

  const UNIT_BYTES = {'': 1, k: 2 ** 10, m: 2 ** 20, g: 2 ** 30};

  // What a person calls the row's outcome: "error" (a 4xx or 5xx answer, whatever came
  // after it), "failed" (no answer), "cancelled", "blocked" (a window the page was not
  // given) or "".
  function verdictOf(row) {
    if (row.status >= 400) return 'error';
    if (row.cancelled) return 'cancelled';
    if (row.blocked) return 'blocked';
    return row.error ? 'failed' : '';
  }

  // A status term's test: "404", "4" or "4xx" (every 4xx), ">=400", "<300".
  function statusTest(value) {
    const [, compare, number] = /^(>=|<=|>|<)(\d+)$/.exec(value) || [];
    if (compare) {
      const limit = Number(number);
      const known = (row) => row.status > 0;
      if (compare === '>=') return (row) => known(row) && row.status >= limit;
      if (compare === '<=') return (row) => known(row) && row.status <= limit;
      if (compare === '>') return (row) => known(row) && row.status > limit;
      return (row) => known(row) && row.status < limit;
    }
    const prefix = value.replace(/x+$/, '');
    return (row) => String(row.status).startsWith(prefix);
  }

  // An "is:" term's test: failed (no answer, or a 4xx or 5xx one), cancelled, cached,
  // blocked, or the certificate nobody vouches for.
  const IS_TESTS = {
    failed: (row) => verdictOf(row) === 'failed' || verdictOf(row) === 'error',
    cancelled: (row) => row.cancelled,
    cached: (row) => row.cache !== '',
    blocked: (row) => row.blocked,
    untrusted: (row) => row.untrustedCertificate,
  };

  // The host and scheme of an address, in lower case.
  function hostOf(url) {
    const match = /^([a-z][a-z0-9+.-]*):(?:\/\/(?:[^@/?#]*@)?([^/?#:]*))?/i.exec(url);
    return match ? {scheme: match[1].toLowerCase(), host: (match[2] || '').toLowerCase()}
                 : {scheme: '', host: ''};
  }

  // One term's test, or null when the term is a plain word.
  function termTest(name, value) {
    if (name === 'status') return statusTest(value);
    if (name === 'method') return (row) => row.method.toLowerCase() === value;
    if (name === 'is') return IS_TESTS[value] || (() => false);
    if (name === 'domain') {
      return (row) => {
        const host = hostOf(row.url).host;
        return host === value || host.endsWith('.' + value);
      };
    }
    if (name === 'scheme') return (row) => hostOf(row.url).scheme === value;
    if (name === 'larger-than') {
      const [, number, unit] = /^(\d+(?:\.\d+)?)([kmg]?)b?$/.exec(value) || [];
      const least = number === undefined ? NaN : Number(number) * UNIT_BYTES[unit];
      return (row) => row.bytes > least;
    }
    return null;
  }

  // The search text as tests of a row: words the row must hold and terms it must pass
  // ("status:404", "status:4xx", "status:>=400", "method:post", "larger-than:100k",
  // "is:failed", "is:cancelled", "is:cached", "domain:example.org", "scheme:data"); a
  // leading "-" turns any of them round.
  function compileQuery(text) {
    const tests = [];
    for (const token of text.toLowerCase().split(/\s+/).filter(Boolean)) {
      const negated = token.length > 1 && token.startsWith('-');
      const term = negated ? token.slice(1) : token;
      const [, name, value] =
          /^(status|method|larger-than|is|domain|scheme):(.+)$/.exec(term) || [];
      const test = (name && termTest(name, value)) || ((row) => row.haystack.includes(term));
      tests.push(negated ? (row) => !test(row) : test);
    }
    return tests;
  }

  function create() {
    const model = {
      rows: [],         // every row received, in order
      pending: [],      // rows received and not yet taken into the view
      view: [],         // the rows shown, in order
      narrow: '',       // the search text: words and terms (see compileQuery)
      kinds: new Set(),  // the type chips chosen; none: every kind
      sortKey: null,
      sortDescending: false,
      unique: false,
      hideInline: false,  // data: and blob: rows are left out
      selected: null,   // a row of the view, or null
      seenUrls: new Set(),  // the URLs of the view, while unique is on
      byId: new Map(),      // rows by the native side's id
      expanded: new Set(),  // the ids of playlist rows whose segments are shown
      regroup: false,       // an update changed where a row goes: rebuild the view
      separators: 0,        // how many of rows and pending are separators
      takenSeparators: 0,   // how many of rows are
      // The rows received of each outcome that is no success, over every search.
      tally: {error: 0, failed: 0, cancelled: 0, blocked: 0},
      span: 0,  // the waterfall's scale: the latest end of a shown row, in milliseconds
    };

    // A row made from a result's JSON text, or null for anything that is not one.
    function rowOf(text) {
      let result;
      try {
        result = JSON.parse(text);
      } catch (error) {
        return null;
      }
      if (!result || typeof result !== 'object') return null;
      for (const key of FIELDS) {
        if (typeof result[key] !== 'string') return null;
      }
      const row = outcomeOf(result);
      Object.assign(row, {
        fileName: result.fileName,
        mimeType: result.mimeType,
        size: result.size,
        url: result.url,
        // The exact length the native side tells (-1: none); a row without one reads its
        // size text.
        bytes: typeof result.bytes === 'number' ? (result.bytes >= 0 ? result.bytes : NaN)
                                                : bytesOf(result.size),
        // An address too long to hold whole here: its length (the native side has it all).
        urlLength: typeof result.urlLength === 'number' ? result.urlLength : result.url.length,
        // Lower-case keys, made once, for sorting and searching.
        sortKeys: {
          fileName: result.fileName.toLowerCase(),
          mimeType: result.mimeType.toLowerCase(),
          url: result.url.toLowerCase(),
        },
        sequence: model.rows.length + model.pending.length,
        haystack: (result.fileName + '\n' + result.mimeType + '\n' + result.size + '\n' +
                   result.url).toLowerCase(),
        version: 0,  // counts the updates, so a view knows to draw the row again
        sortNumber: NaN,  // the numeric sort's value (prepareSort)
        kind: isPlaylist(row) ? 'media' : kindOf(result.mimeType, result.fileName, row.method),
        children: 0,  // the segment rows folded under a playlist's row
      });
      return row;
    }


    // A numeric column's value of a row; NaN when it is not known.
    // Rows about to be sorted by a numeric column take its value first, so that the sort
    // compares plain numbers.
    function prepareSort(rows) {
      if (!NUMERIC.has(model.sortKey)) return;
      for (const row of rows) row.sortNumber = numberOf(row, model.sortKey);
    }

    function numberOf(row, key) {
      if (key === 'size') return row.bytes;
      if (key === 'status') return row.status || NaN;
      if (key === 'start') return row.start >= 0 ? row.start : NaN;
      return row.duration >= 0 ? row.duration : NaN;
    }

    // The sort's order of two rows; size sorts by bytes, status and time by number, each
    // with what is not known last either way. Made once for each sort.
    function comparator() {
      const key = model.sortKey;
      const sign = model.sortDescending ? -1 : 1;
      if (NUMERIC.has(key)) {
        return (a, b) => {
          const aUnknown = Number.isNaN(a.sortNumber);
          const bUnknown = Number.isNaN(b.sortNumber);
          if (aUnknown || bUnknown) {
            if (aUnknown !== bUnknown) return aUnknown ? 1 : -1;
            return a.sequence - b.sequence;
          }
          return sign * (a.sortNumber - b.sortNumber) || a.sequence - b.sequence;
        };
      }
      const text = key === 'method' ? (row) => row.method : (row) => row.sortKeys[key];
      return (a, b) => {
        const aText = text(a);
        const bText = text(b);
        return sign * (aText < bText ? -1 : aText > bText ? 1 : 0) || a.sequence - b.sequence;
      };
    }

    // The tests of the search text, made again when the text changed.
    let query = {text: '', tests: []};

    // A segment of a listed playlist shows under it, while it is unfolded.
    function folded(row) {
      return row.parent !== 0 && model.byId.has(row.parent) && !model.expanded.has(row.parent);
    }

    // Counts a segment on its playlist's row, or for it until it comes.
    function adopt(row) {
      if (!row.parent) return;
      const playlist = model.byId.get(row.parent);
      if (!playlist) {
        orphans.set(row.parent, (orphans.get(row.parent) || 0) + 1);
        return;
      }
      playlist.children += 1;
      playlist.version += 1;
    }

    function shows(row) {
      // A search's separator stands in the list's order only.
      if (row.separator) return !model.sortKey;
      if (folded(row)) return false;
      if (query.text !== model.narrow) query = {text: model.narrow, tests: compileQuery(model.narrow)};
      if (model.kinds.size && !model.kinds.has(row.kind)) return false;
      if (model.hideInline && INLINE.test(row.url)) return false;
      for (const test of query.tests) {
        if (!test(row)) return false;
      }
      if (!model.unique) return true;
      if (model.seenUrls.has(row.url)) return false;
      model.seenUrls.add(row.url);
      return true;
    }

    // Segments that came before their playlist's row, counted by the playlist's id.
    const orphans = new Map();

    // Counts a row's outcome in (by 1) or out (by -1).
    function tally(row, by) {
      const verdict = verdictOf(row);
      if (verdict) model.tally[verdict] += by;
    }

    // Takes a result's JSON text; false (and nothing kept) when it is no result. A row of an
    // id the list holds (sent again when the page came back) updates that row.
    model.receive = (text) => {
      const row = rowOf(text);
      if (!row) return false;
      if (row.id !== null && model.byId.has(row.id)) return model.update(text) !== null;
      model.pending.push(row);
      tally(row, 1);
      if (row.id !== null) {
        model.byId.set(row.id, row);
        row.children += orphans.get(row.id) || 0;
        orphans.delete(row.id);
      }
      adopt(row);
      if (row.parent && model.expanded.has(row.parent)) model.regroup = true;
      return true;
    };

    // A search starts: a separator row (its address and time) goes before its rows. It
    // shows while the list is in the order rows came, and counts, exports and selections
    // leave it out.
    model.addSeparator = (address, time) => {
      model.pending.push(Object.assign(outcomeOf({method: ''}), {
        separator: true, url: address, time, fileName: '', mimeType: '', size: '', version: 0,
        sequence: model.rows.length + model.pending.length}));
      model.separators += 1;
    };

    // The rows received, separators left out.
    model.count = () => model.rows.length + model.pending.length - model.separators;

    // The rows shown, separators left out; and how many they are.
    model.shownRows = () => model.view.filter((row) => !row.separator);
    model.shownCount = () => model.view.length - (model.sortKey ? 0 : model.takenSeparators);

    // Takes a row's update (the row's JSON text again, with its outcome as it is now): the
    // row of that id takes its outcome. The row, or null when there is none.
    model.update = (text) => {
      const updated = rowOf(text);
      const row = updated && updated.id !== null ? model.byId.get(updated.id) : undefined;
      if (!row) return null;
      const {parent, kind} = row;
      tally(row, -1);
      Object.assign(row, outcomeOf(updated));
      tally(row, 1);
      if (isPlaylist(row)) row.kind = 'media';
      if (row.parent !== parent) adopt(row);
      // A row that moved under a playlist, or became one, may leave or join the view.
      if (row.parent !== parent || row.kind !== kind) model.regroup = true;
      // A hidden row's end may widen the scale too, until the view is made anew.
      widenSpan([row]);
      row.version += 1;
      return row;
    };

    // Where a row's request ended on the waterfall (one still loading: where it is known to
    // have got), in milliseconds since its search started; -1 when it has no time.
    function endOf(row) {
      if (row.start < 0) return -1;
      return row.start + Math.max(row.duration, row.response, 0);
    }

    // The waterfall's scale takes in rows that joined the view or changed.
    function widenSpan(rows) {
      for (const row of rows) model.span = Math.max(model.span, endOf(row));
    }

    // The view anew from every row: after the search text, the sort or the option changed.
    model.rebuild = () => {
      model.regroup = false;
      model.seenUrls = new Set();
      let view = model.rows.filter(shows);
      if (model.sortKey) {
        prepareSort(view);
        view.sort(comparator());
      }
      if (model.expanded.size) view = withSegments(view);
      model.view = view;
      model.span = 0;
      widenSpan(view);
      if (model.selected && !view.includes(model.selected)) model.selected = null;
    };

    // An unfolded playlist's segments follow its row, in the order they came.
    function withSegments(view) {
      const segments = new Map();
      for (const row of model.rows) {
        if (!row.parent || !model.expanded.has(row.parent)) continue;
        if (!segments.has(row.parent)) segments.set(row.parent, []);
        segments.get(row.parent).push(row);
      }
      const grouped = [];
      for (const row of view) {
        if (row.parent && model.expanded.has(row.parent)) continue;
        grouped.push(row);
        for (const segment of segments.get(row.id) || []) grouped.push(segment);
      }
      return grouped;
    }

    // Folds or unfolds a playlist's segments.
    model.toggleFold = (id) => {
      if (!model.expanded.delete(id)) model.expanded.add(id);
      model.regroup = true;
    };

    // Rows that arrived go into the view: appended, or merged into a sorted view.
    model.takePending = () => {
      if (!model.pending.length) return;
      const arrived = model.pending;
      model.pending = [];
      for (const row of arrived) {
        model.rows.push(row);
        if (row.separator) model.takenSeparators += 1;
      }
      const added = arrived.filter(shows);
      if (!added.length) return;
      widenSpan(added);
      if (!model.sortKey) {
        for (const row of added) model.view.push(row);
        return;
      }
      prepareSort(added);
      const compare = comparator();
      added.sort(compare);
      const merged = new Array(model.view.length + added.length);
      let i = 0, j = 0, k = 0;
      while (i < model.view.length && j < added.length) {
        merged[k++] = compare(model.view[i], added[j]) <= 0 ? model.view[i++] : added[j++];
      }
      while (i < model.view.length) merged[k++] = model.view[i++];
      while (j < added.length) merged[k++] = added[j++];
      model.view = merged;
    };

    // A click on a column: sorts by it, or turns its order round.
    model.sortBy = (key) => {
      if (model.sortKey === key) {
        model.sortDescending = !model.sortDescending;
      } else {
        model.sortKey = key;
        model.sortDescending = false;
      }
    };

    model.clear = () => {
      model.rows = [];
      model.pending = [];
      model.view = [];
      model.selected = null;
      model.seenUrls = new Set();
      model.byId = new Map();
      model.expanded = new Set();
      model.separators = 0;
      model.takenSeparators = 0;
      model.span = 0;
      model.tally = {error: 0, failed: 0, cancelled: 0, blocked: 0};
      orphans.clear();
    };

    // The rows shown as addresses, one a line; as CSV with a header; or as JSON. Sizes go
    // as the text shown and as bytes (null when not known), times in milliseconds.
    model.exportText = (kind) => {
      const shown = model.shownRows();
      if (kind === 'urls') return shown.map((row) => row.url).join('\n');
      const fields = (row) => {
        const exported = {};
        for (const key of EXPORTED) exported[key] = row[key];
        if (Number.isNaN(exported.bytes)) exported.bytes = null;
        if (exported.duration < 0) exported.duration = null;
        if (!exported.status) exported.status = null;
        return exported;
      };
      if (kind === 'json') return JSON.stringify(shown.map(fields), null, 2);
      const lines = [EXPORTED.join(',')];
      for (const row of shown) {
        const exported = fields(row);
        lines.push(EXPORTED.map((key) => csvField(exported[key] ?? '')).join(','));
      }
      return lines.join('\n');
    };

    return model;
  }

  exports.create = create;
  exports.bytesOf = bytesOf;
  exports.verdictOf = verdictOf;
  exports.kindOf = kindOf;
  exports.isPlaylist = isPlaylist;
  exports.KINDS = KINDS;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerResults = {}));

// The results of Trawler's UI page with no document: every row received, the rows shown
// (narrowed by a search text, one per URL if asked, sorted by a column), the selection, and
// the exports. The page loads it as a plain script (TrawlerResults); Node's test runner
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

  function csvField(text) {
    return /[",\r\n]/.test(text) ? '"' + text.replace(/"/g, '""') + '"' : text;
  }

  function create() {
    const model = {
      rows: [],         // every row received, in order
      pending: [],      // rows received and not yet taken into the view
      view: [],         // the rows shown, in order
      narrow: '',       // lower-case search text
      sortKey: null,
      sortDescending: false,
      unique: false,
      selected: null,   // a row of the view, or null
      seenUrls: new Set(),  // the URLs of the view, while unique is on
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
      return {
        fileName: result.fileName,
        mimeType: result.mimeType,
        size: result.size,
        url: result.url,
        bytes: bytesOf(result.size),
        // Lower-case keys, made once, for sorting and searching.
        sortKeys: {
          fileName: result.fileName.toLowerCase(),
          mimeType: result.mimeType.toLowerCase(),
          url: result.url.toLowerCase(),
        },
        sequence: model.rows.length + model.pending.length,
        haystack: (result.fileName + '\n' + result.mimeType + '\n' + result.size + '\n' +
                   result.url).toLowerCase(),
      };
    }

    // The sort's order of two rows; size sorts by bytes, with "unknown" last either way.
    function compare(a, b) {
      const key = model.sortKey;
      let order;
      if (key === 'size') {
        const aUnknown = Number.isNaN(a.bytes);
        const bUnknown = Number.isNaN(b.bytes);
        if (aUnknown || bUnknown) {
          if (aUnknown !== bUnknown) return aUnknown ? 1 : -1;
          return a.sequence - b.sequence;
        }
        order = a.bytes - b.bytes;
      } else {
        const aText = a.sortKeys[key];
        const bText = b.sortKeys[key];
        order = aText < bText ? -1 : aText > bText ? 1 : 0;
      }
      if (model.sortDescending) order = -order;
      return order || a.sequence - b.sequence;
    }

    function shows(row) {
      if (model.narrow && !row.haystack.includes(model.narrow)) return false;
      if (!model.unique) return true;
      if (model.seenUrls.has(row.url)) return false;
      model.seenUrls.add(row.url);
      return true;
    }

    // Takes a result's JSON text; false (and nothing kept) when it is no result.
    model.receive = (text) => {
      const row = rowOf(text);
      if (row) model.pending.push(row);
      return row !== null;
    };

    // The view anew from every row: after the search text, the sort or the option changed.
    model.rebuild = () => {
      model.seenUrls = new Set();
      const view = model.rows.filter(shows);
      if (model.sortKey) view.sort(compare);
      model.view = view;
      if (model.selected && !view.includes(model.selected)) model.selected = null;
    };

    // Rows that arrived go into the view: appended, or merged into a sorted view.
    model.takePending = () => {
      if (!model.pending.length) return;
      const arrived = model.pending;
      model.pending = [];
      for (const row of arrived) model.rows.push(row);
      const added = arrived.filter(shows);
      if (!added.length) return;
      if (!model.sortKey) {
        for (const row of added) model.view.push(row);
        return;
      }
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
    };

    // The rows shown as addresses, one a line; as CSV with a header; or as JSON.
    model.exportText = (kind) => {
      if (kind === 'urls') return model.view.map((row) => row.url).join('\n');
      const fields = (row) => ({fileName: row.fileName, mimeType: row.mimeType,
                                size: row.size, url: row.url});
      if (kind === 'json') return JSON.stringify(model.view.map(fields), null, 2);
      const lines = [FIELDS.join(',')];
      for (const row of model.view) lines.push(FIELDS.map((key) => csvField(row[key])).join(','));
      return lines.join('\n');
    };

    return model;
  }

  exports.create = create;
  exports.bytesOf = bytesOf;
})(typeof module === 'object' ? module.exports : (globalThis.TrawlerResults = {}));

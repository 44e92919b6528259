// The UI page's results without a document, under Node's test runner.
'use strict';

const assert = require('node:assert');
const test = require('node:test');
const path = require('node:path');
const {create, bytesOf} = require(path.join(__dirname, '..', '..', 'Html', 'result_model.js'));

function row(fileName, size = '1KB', mimeType = 'image/png', url = 'http://h.test/' + fileName) {
  return JSON.stringify({fileName, mimeType, size, url});
}

function modelWith(...texts) {
  const model = create();
  for (const text of texts) model.receive(text);
  model.takePending();
  return model;
}

const names = (model) => model.view.map((shown) => shown.fileName);

test('only results with four strings are taken', () => {
  const model = create();
  for (const text of ['', 'not json', 'null', '[]', '{"fileName": "a"}',
                      '{"fileName": 1, "mimeType": "", "size": "", "url": ""}']) {
    assert.strictEqual(model.receive(text), false, text);
  }
  assert.strictEqual(model.receive(row('a.png')), true);
  assert.strictEqual(model.pending.length, 1);
});

test('sizes are bytes, unknown ones are not numbers', () => {
  for (const [size, bytes] of [['0B', 0], ['1.50KB', 1536], ['2MB', 2 ** 21], ['1PB', 2 ** 50]]) {
    assert.strictEqual(bytesOf(size), bytes, size);
  }
  for (const size of ['unknown', '', '1.5 KB', 'KB', '-1B']) assert.ok(Number.isNaN(bytesOf(size)));
});

test('a size sort puts unknown sizes last in either order, ties in arrival order', () => {
  const model = modelWith(row('b', '2KB'), row('u1', 'unknown'), row('a', '900B'),
                          row('c', '2KB'), row('u2', 'unknown'));
  model.sortBy('size');
  model.rebuild();
  assert.deepStrictEqual(names(model), ['a', 'b', 'c', 'u1', 'u2']);
  model.sortBy('size');
  model.rebuild();
  assert.deepStrictEqual(names(model), ['b', 'c', 'a', 'u1', 'u2']);
});

test('rows that arrive into a sorted view land where a rebuild puts them', () => {
  const model = modelWith(row('m.png'), row('c.png'), row('x.png'));
  model.sortBy('fileName');
  model.rebuild();
  for (const name of ['a.png', 'n.png', 'z.png', 'c.png']) model.receive(row(name));
  model.takePending();
  const merged = names(model);
  model.rebuild();
  assert.deepStrictEqual(merged, names(model));
  assert.deepStrictEqual(merged, ['a.png', 'c.png', 'c.png', 'm.png', 'n.png', 'x.png', 'z.png']);
});

test('narrowing and one row per URL, together and after more rows arrive', () => {
  const model = modelWith(row('a.mp4', '1KB', 'video/mp4'), row('a.mp4', '1KB', 'video/mp4'),
                          row('b.png'));
  model.narrow = 'video';
  model.unique = true;
  model.rebuild();
  assert.deepStrictEqual(names(model), ['a.mp4']);
  model.receive(row('a.mp4', '1KB', 'video/mp4'));
  model.receive(row('c.mp4', '1KB', 'video/mp4'));
  model.takePending();
  assert.deepStrictEqual(names(model), ['a.mp4', 'c.mp4']);
});

test('a selection that is no longer shown is dropped', () => {
  const model = modelWith(row('a.png'), row('b.css', '1KB', 'text/css'));
  model.selected = model.view[1];
  model.narrow = 'image';
  model.rebuild();
  assert.strictEqual(model.selected, null);
});

test('exports hold the shown rows; CSV quotes quotes, commas and line breaks', () => {
  const model = modelWith(row('a.png'), row('say"hi.png'), row('x,y.png', '1KB', 'image/png',
                                                                   'http://h.test/x,y\n.png'));
  assert.strictEqual(model.exportText('urls'),
                     'http://h.test/a.png\nhttp://h.test/say"hi.png\nhttp://h.test/x,y\n.png');
  assert.strictEqual(model.exportText('csv'),
                     'fileName,mimeType,size,bytes,url,status,method,duration,redirects,' +
                     'fromCache,cache,error,cancelled\n' +
                     'a.png,image/png,1KB,1024,http://h.test/a.png,,GET,,0,false,,,false\n' +
                     '"say""hi.png",image/png,1KB,1024,"http://h.test/say""hi.png",,GET,,0,false,,,' +
                     'false\n' +
                     '"x,y.png",image/png,1KB,1024,"http://h.test/x,y\n.png",,GET,,0,false,,,false');
  assert.deepStrictEqual(JSON.parse(model.exportText('json'))[0],
                         {fileName: 'a.png', mimeType: 'image/png', size: '1KB', bytes: 1024,
                          url: 'http://h.test/a.png', status: null, method: 'GET',
                          duration: null, redirects: 0, fromCache: false, cache: '', error: '',
                          cancelled: false});
  model.clear();
  assert.strictEqual(model.exportText('urls'), '');
});

test('CSV cells a spreadsheet would run as formulas start with an apostrophe', () => {
  const cases = [['=1+1.png', "'=1+1.png"], ['+x', "'+x"], ['-2', "'-2"], ['@SUM(A1)', "'@SUM(A1)"],
                 ['\t=x', "'\t=x"], ['a=b', 'a=b'], ['=a,b', `"'=a,b"`]];
  for (const [name, cell] of cases) {
    const csv = modelWith(row(name)).exportText('csv').split('\n')[1];
    assert.strictEqual(csv.slice(0, cell.length), cell, name);
  }
});

function outcome(id, fields) {
  return JSON.stringify(Object.assign({fileName: 'f' + id, mimeType: 'a/b', size: '1B',
                                       url: 'http://h.test/' + id, id}, fields));
}

test('an update changes its row in place; one for no row changes nothing', () => {
  const model = modelWith(outcome(1, {status: 200}), outcome(2, {status: 0}));
  const first = model.rows[0];
  const updated = model.update(outcome(1, {status: 200, duration: 40, error: 'reset'}));
  assert.strictEqual(updated, first);
  assert.deepStrictEqual([first.duration, first.error, first.version], [40, 'reset', 1]);
  assert.strictEqual(model.update(outcome(9, {})), null);
  assert.strictEqual(model.update('not json'), null);
  // Members of the wrong type count as not given.
  assert.strictEqual(model.update(outcome(2, {status: '404', duration: null})).status, 0);
  model.clear();
  assert.strictEqual(model.update(outcome(1, {})), null);
});

test('status and time sort by number with what is not known last; method by text', () => {
  const model = modelWith(outcome(1, {status: 404, duration: 30, method: 'POST'}),
                          outcome(2, {status: 0, duration: -1, method: 'GET'}),
                          outcome(3, {status: 200, duration: 5, method: 'HEAD'}));
  const order = (key) => {
    model.sortBy(key);
    model.rebuild();
    return names(model);
  };
  assert.deepStrictEqual(order('status'), ['f3', 'f1', 'f2']);
  assert.deepStrictEqual(order('status'), ['f1', 'f3', 'f2']);
  assert.deepStrictEqual(order('duration'), ['f3', 'f1', 'f2']);
  assert.deepStrictEqual(order('method'), ['f2', 'f3', 'f1']);
});

test('chips show the kinds chosen, several at once, from the type or else the name', () => {
  const model = modelWith(
      outcome(1, {mimeType: 'text/html'}), outcome(2, {mimeType: 'application/vnd.apple.mpegurl'}),
      outcome(3, {mimeType: 'application/octet-stream', fileName: 'live.m3u8'}),
      outcome(4, {mimeType: '', fileName: 'beacon', method: 'POST'}),
      outcome(5, {mimeType: 'font/woff2'}), outcome(6, {mimeType: 'image/png'}),
      outcome(7, {mimeType: 'application/octet-stream', fileName: 'blob'}),
      outcome(8, {mimeType: 'text/plain', fileName: 'master.M3U8'}),
      outcome(9, {mimeType: 'application/dash+xml', fileName: 'manifest'}));
  const shown = (...kinds) => {
    model.kinds = new Set(kinds);
    model.rebuild();
    return model.view.map((row) => row.id);
  };
  assert.deepStrictEqual(shown('media'), [2, 3, 8, 9]);
  assert.deepStrictEqual(shown('document', 'fetch', 'other'), [1, 4, 7]);
  assert.deepStrictEqual(shown('font', 'image'), [5, 6]);
  assert.deepStrictEqual(shown(), [1, 2, 3, 4, 5, 6, 7, 8, 9]);
});

test('search terms: words, -words, status, method and larger-than', () => {
  const model = modelWith(
      outcome(1, {status: 404, size: '2KB', url: 'http://a.test/x.png'}),
      outcome(2, {status: 200, size: '200KB', method: 'POST', url: 'http://b.test/api'}),
      outcome(3, {status: 500, size: 'unknown', url: 'http://a.test/y.js'}),
      outcome(4, {status: 0, error: 'refused', size: 'unknown', url: 'http://c.test/z'}));
  const shown = (text) => {
    model.narrow = text;
    model.rebuild();
    return model.view.map((row) => row.id);
  };
  const cases = [['status:404', [1]], ['status:5', [3]], ['method:post', [2]],
                 ['larger-than:100k', [2]], ['larger-than:1.5kb', [1, 2]], ['larger-than:x', []],
                 ['a.test -y.js', [1]], ['A.TEST status:4', [1]], ['-', []], ['', [1, 2, 3, 4]]];
  for (const [text, ids] of cases) assert.deepStrictEqual(shown(text), ids, text);
});

test('the Media kind holds playlists, video and audio; segments fold under their playlist', () => {
  const result = (id, fileName, mimeType, extra = {}) => JSON.stringify(Object.assign(
      {id, fileName, mimeType, size: '1KB', url: 'http://h.test/' + fileName}, extra));
  const model = modelWith(
      result(1, 'hls.html', 'text/html'),
      result(2, 'master.m3u8', 'application/vnd.apple.mpegurl'),
      result(3, 'index', 'text/plain'),
      result(4, 'seg_0.ts', 'video/mp2t', {parent: 3}),
      result(5, 'movie.mp4', 'video/mp4'),
      result(6, 'sound.mp3', 'audio/mpeg'),
      result(7, 'poster.png', 'image/png'),
      result(8, 'notes', 'text/plain'));
  model.kinds.add('media');
  model.rebuild();
  // A plain-text playlist is media once its text was read; its segment comes under it.
  assert.deepStrictEqual(names(model), ['master.m3u8', 'movie.mp4', 'sound.mp3']);
  model.update(result(3, 'index', 'text/plain', {playlist: {kind: 'hls-media', segments: 1}}));
  assert.ok(model.regroup);
  model.rebuild();
  assert.deepStrictEqual(names(model), ['master.m3u8', 'index', 'movie.mp4', 'sound.mp3']);
  assert.strictEqual(model.byId.get(3).children, 1);
  // A later segment is counted; unfolding shows both right after the playlist.
  model.receive(result(9, 'seg_1.ts', 'video/mp2t', {parent: 3}));
  model.takePending();
  assert.strictEqual(model.byId.get(3).children, 2);
  model.toggleFold(3);
  model.rebuild();
  assert.deepStrictEqual(names(model),
                         ['master.m3u8', 'index', 'seg_0.ts', 'seg_1.ts', 'movie.mp4', 'sound.mp3']);
  model.toggleFold(3);
  model.rebuild();
  assert.strictEqual(model.view.length, 4);
});

test('a search of one row shows that row however the list is sorted or rebuilt', () => {
  const model = create();
  model.addSeparator('http://h.test/', '10:00:00');
  model.receive(row('only.png'));
  model.takePending();
  for (const change of [() => {}, () => model.sortBy('size'), () => model.sortBy('size'),
                        () => model.sortBy('fileName'), () => model.rebuild()]) {
    change();
    model.rebuild();
    assert.strictEqual(model.shownCount(), 1, String(model.sortKey));
    assert.strictEqual(model.exportText('urls'), 'http://h.test/only.png');
  }
  // A row that arrives while the list is sorted is counted too.
  model.receive(row('later.png'));
  model.takePending();
  assert.strictEqual(model.shownCount(), 2);
});

test('bytes are the exact ones the native side tells, not read back from the size text', () => {
  const exact = (bytes, size) => JSON.stringify({fileName: 'f', mimeType: 'a/b', size, url: 'u' + bytes,
                                                 id: bytes + 1, bytes});
  const model = modelWith(exact(100000, '97.66KB'), exact(102401, '100.00KB'), exact(-1, 'unknown'));
  assert.deepStrictEqual(JSON.parse(model.exportText('json')).map((row) => row.bytes),
                         [100000, 102401, null]);
  model.narrow = 'larger-than:100k';
  model.rebuild();
  assert.deepStrictEqual(names(model).length, 1);
  assert.strictEqual(model.view[0].bytes, 102401);
});

test('every term selects what it names, and a "-" turns it round', () => {
  const rows = [
    outcome(1, {status: 200, url: 'http://a.example.org/x.js', cache: 'memory'}),
    outcome(2, {status: 404, url: 'https://b.test/missing.png'}),
    outcome(3, {status: 500, error: 'Load failed', url: 'https://a.example.org/broken.js'}),
    outcome(4, {status: 0, error: 'Connection refused', url: 'http://c.test/a'}),
    outcome(5, {status: 206, cancelled: true, url: 'http://c.test/movie.mp4'}),
    outcome(6, {status: 0, url: 'data:text/plain,hi'}),
    outcome(7, {status: 0, blocked: true, url: 'http://popup.test/'}),
  ];
  const cases = [
    ['is:failed', [2, 3, 4]], ['is:cancelled', [5]], ['is:cached', [1]], ['is:blocked', [7]],
    ['status:4xx', [2]], ['status:5', [3]], ['status:>=400', [2, 3]], ['status:<300', [1, 5]],
    ['-status:200', [2, 3, 4, 5, 6, 7]], ['-is:failed', [1, 5, 6, 7]],
    ['domain:example.org', [1, 3]], ['-domain:example.org', [2, 4, 5, 6, 7]],
    ['scheme:data', [6]], ['-scheme:data', [1, 2, 3, 4, 5, 7]], ['missing', [2]], ['-missing', [1, 3, 4, 5, 6, 7]],
  ];
  for (const [text, ids] of cases) {
    const model = modelWith(...rows);
    model.narrow = text;
    model.rebuild();
    assert.deepStrictEqual(model.view.map((row) => row.id), ids, text);
  }
});

test('a row sent again updates its row, and segments before their playlist are folded', () => {
  const model = modelWith(outcome(2, {parent: 1}), outcome(3, {parent: 1}),
                          outcome(1, {playlist: {kind: 'hls-media'}}), outcome(2, {parent: 1}));
  assert.strictEqual(model.count(), 3);
  assert.strictEqual(model.byId.get(1).children, 2);
  model.rebuild();
  assert.deepStrictEqual(model.view.map((row) => row.id), [1]);
  model.toggleFold(1);
  model.rebuild();
  assert.deepStrictEqual(model.view.map((row) => row.id), [1, 2, 3]);
});

test('the hide toggle leaves out data: and blob: rows, and the tally counts every search', () => {
  const model = modelWith(outcome(1, {url: 'data:image/png;base64,AAAA'}),
                          outcome(2, {url: 'BLOB:https://v.test/3f2a'}),
                          outcome(3, {status: 404, url: 'https://v.test/gone.png'}));
  model.addSeparator('second.test', '10:00');
  for (const text of [outcome(4, {error: 'Connection refused', url: 'http://c.test/a'}),
                      outcome(5, {url: 'http://c.test/movie.mp4'})]) {
    model.receive(text);
  }
  model.takePending();
  model.hideInline = true;
  model.rebuild();
  assert.deepStrictEqual(model.shownRows().map((row) => row.id), [3, 4, 5]);
  // An update moves its row from one count to another; a 4xx or 5xx stays failed.
  model.update(outcome(5, {status: 206, cancelled: true, url: 'http://c.test/movie.mp4'}));
  model.update(outcome(3, {status: 404, error: 'Load failed', url: 'https://v.test/gone.png'}));
  assert.deepStrictEqual(model.tally, {error: 1, failed: 1, cancelled: 1, blocked: 0});
  model.clear();
  assert.deepStrictEqual(model.tally, {error: 0, failed: 0, cancelled: 0, blocked: 0});
});

test('the waterfall scale is the latest end of the rows shown, and a start sorts', () => {
  const model = modelWith(outcome(1, {start: 0, response: 40, duration: 100}),
                          outcome(2, {start: 900, response: 300, duration: -1, url: 'http://big.test/'}),
                          outcome(3, {start: 50, duration: 2000, url: 'http://slow.test/'}),
                          outcome(4, {url: 'http://untimed.test/'}));
  assert.strictEqual(model.span, 2050);
  model.narrow = '-slow';
  model.rebuild();
  assert.strictEqual(model.span, 1200);  // a row still loading counts to its response
  model.update(outcome(2, {start: 900, response: 300, duration: 1500, url: 'http://big.test/'}));
  assert.strictEqual(model.span, 2400);
  model.narrow = '';
  model.sortBy('start');
  model.rebuild();
  assert.deepStrictEqual(model.view.map((row) => row.id), [1, 3, 2, 4]);
});

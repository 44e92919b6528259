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
                     'fileName,mimeType,size,url\n' +
                     'a.png,image/png,1KB,http://h.test/a.png\n' +
                     '"say""hi.png",image/png,1KB,"http://h.test/say""hi.png"\n' +
                     '"x,y.png",image/png,1KB,"http://h.test/x,y\n.png"');
  assert.deepStrictEqual(JSON.parse(model.exportText('json'))[0],
                         {fileName: 'a.png', mimeType: 'image/png', size: '1KB',
                          url: 'http://h.test/a.png'});
  model.clear();
  assert.strictEqual(model.exportText('urls'), '');
});

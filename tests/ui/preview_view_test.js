// What a body is previewed as, without a document, under Node's test runner.
'use strict';

const assert = require('node:assert');
const test = require('node:test');
const path = require('node:path');
const {kindOf, laidOut, hexLines} =
    require(path.join(__dirname, '..', '..', 'Html', 'preview_view.js'));

test('a type is previewed as what it holds; markup is text, never a document', () => {
  const cases = [
    ['image/svg+xml', 'image'], ['IMAGE/PNG', 'image'], ['audio/mpeg', 'audio'],
    ['video/mp4; codecs="avc1"', 'video'], ['font/woff2', 'font'],
    ['application/font-woff', 'font'], ['application/x-font-ttf', 'font'],
    ['application/json', 'json'], ['application/ld+json', 'json'], ['text/html', 'text'],
    ['application/xhtml+xml', 'text'], ['text/javascript', 'text'],
    ['application/vnd.apple.mpegurl', 'text'], ['application/dash+xml', 'text'],
    ['application/octet-stream', 'bytes'], ['', 'bytes'],
  ];
  for (const [type, kind] of cases) assert.strictEqual(kindOf(type), kind, type);
});

test('JSON is laid out when whole, and bytes show sixteen a line', () => {
  assert.strictEqual(laidOut('{"a":[1,{"b":null}]}'), '{\n  "a": [\n    1,\n    {\n      "b": null\n    }\n  ]\n}');
  assert.strictEqual(laidOut('{"cut'), null);
  const lines = hexLines(Uint8Array.from({length: 20}, (_, i) => 60 + i)).split('\n');
  assert.deepStrictEqual(lines, [
    '00000000  3c 3d 3e 3f 40 41 42 43 44 45 46 47 48 49 4a 4b  <=>?@ABCDEFGHIJK',
    '00000010  4c 4d 4e 4f                                      LMNO',
  ]);
});

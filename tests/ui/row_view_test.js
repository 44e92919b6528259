// The list's row cells without a document, under Node's test runner: what the waterfall draws
// and how a URL is cut.
'use strict';

const assert = require('node:assert');
const test = require('node:test');
const path = require('node:path');
const {barOf, shownUrl} = require(path.join(__dirname, '..', '..', 'Html', 'row_view.js'));

test('a bar lies where its request started, waited and received on the scale', () => {
  const timing = (start, response, duration) => ({start, response, duration});
  const cases = [
    // [timing, span, {start, wait, width}] as fractions of the scale
    [timing(0, 250, 1000), 1000, {start: 0, wait: 0.25, width: 1}],
    [timing(500, 100, 200), 1000, {start: 0.5, wait: 0.1, width: 0.2}],
    // Still loading: it runs to the scale's end; its wait is known once its response came.
    [timing(200, 300, -1), 1000, {start: 0.2, wait: 0.3, width: 0.8}],
    [timing(200, -1, -1), 1000, {start: 0.2, wait: 0.8, width: 0.8}],
    // Cancelled before any response: all of it was waiting.
    [timing(100, -1, 400), 1000, {start: 0.1, wait: 0.4, width: 0.4}],
    // A row from the memory cache takes no time.
    [timing(300, 0, 0), 1000, {start: 0.3, wait: 0, width: 0}],
  ];
  for (const [row, span, expected] of cases) {
    const bar = barOf(row, span);
    for (const key of Object.keys(expected)) {
      assert.ok(Math.abs(bar[key] - expected[key]) < 1e-9, JSON.stringify([row, key, bar]));
    }
  }
  // No time, or no scale: no bar.
  assert.strictEqual(barOf(timing(-1, -1, -1), 1000), null);
  assert.strictEqual(barOf(timing(0, 10, 20), 0), null);
});

test('a long URL keeps its start and its end in sight; one held cut says its length', () => {
  const long = 'https://cdn.example/' + 'a'.repeat(100) + '/file.mp4?token=abc';
  assert.strictEqual(shownUrl({url: 'http://h.test/a', urlLength: 15}), 'http://h.test/a');
  const shown = shownUrl({url: long, urlLength: long.length});
  assert.ok(shown.startsWith('https://cdn.example/') && shown.endsWith('/file.mp4?token=abc'), shown);
  assert.ok(shown.length < 90);
  assert.ok(shownUrl({url: long, urlLength: 70000}).endsWith('(70,000 characters)'));
});

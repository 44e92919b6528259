// The words of a save's progress line, without a document, under Node's test runner.
'use strict';

const assert = require('node:assert');
const test = require('node:test');
const path = require('node:path');
const {progressText} = require(path.join(__dirname, '..', '..', 'Html', 'saves_view.js'));

test('a save says how far it is and how it ended', () => {
  const cases = [
    [{state: 'running', bytes: 0, total: -1, item: 0, items: 1}, '0 B'],
    [{state: 'running', bytes: 512, total: 2048, item: 0, items: 1}, '512 B of 2.0 KB (25%)'],
    [{state: 'running', bytes: 3000, total: 2048, item: 0, items: 1}, '2.9 KB of 2.0 KB (100%)'],
    // The segment in hand counts from one; the last one is never past the count.
    [{state: 'running', bytes: 0, total: -1, item: 0, items: 3, joined: true},
     '0 B \u00B7 segment 1 of 3'],
    [{state: 'running', bytes: 2048, total: -1, item: 2, items: 3, joined: true},
     '2.0 KB \u00B7 segment 3 of 3'],
    [{state: 'running', bytes: 10, total: -1, item: 3, items: 3, joined: true},
     '10 B \u00B7 segment 3 of 3'],
    [{state: 'running', bytes: 10, total: -1, item: 1, items: 43, joined: false},
     '10 B \u00B7 file 2 of 43'],
    [{state: 'running', bytes: 15 * 1024 * 1024, total: -1, item: 0, items: 1}, '15 MB'],
    [{state: 'done', path: '/tmp/a b.ts'}, 'Saved to /tmp/a b.ts'],
    // A stream's speed and time left, once they can be told; its tracks being muxed.
    [{state: 'running', bytes: 2048, total: -1, item: 1, items: 3, joined: true, speed: 1024,
      left: 0}, '2.0 KB \u00B7 segment 2 of 3 \u00B7 1.0 KB/s \u00B7 0 s left'],
    [{state: 'running', bytes: 0, total: -1, item: 0, items: 3, joined: true, speed: 0,
      left: -1}, '0 B \u00B7 segment 1 of 3'],
    [{state: 'running', bytes: 9, total: -1, item: 3, items: 3, joined: true, speed: 5,
      left: 3600, muxing: true}, '9 B \u00B7 segment 3 of 3 \u00B7 muxing its video and sound into one file'],
    [{state: 'done', path: '/tmp/live.ts', note: 'a live stream'},
     'Saved to /tmp/live.ts (a live stream)'],
    [{state: 'failed', error: 'File too large'}, 'Failed: File too large'],
    [{state: 'cancelled'}, 'Cancelled'],
  ];
  for (const [save, text] of cases) assert.strictEqual(progressText(save), text, JSON.stringify(save));
});

test('a folder save that went on past failures says how many and which', () => {
  const failures = [{name: 'a.png', error: 'The server answered 404'},
                    {name: 'b.bin', error: 'File name too long'}];
  assert.strictEqual(progressText({state: 'done', joined: false, saved: 41, items: 43,
                                   path: '/tmp/shots', failures}),
                     'Saved 41 of 43 files to /tmp/shots; 2 failed');
  assert.strictEqual(progressText({state: 'failed', joined: false, saved: 0, items: 2,
                                   path: '/tmp/shots', failures, error: 'No file could be saved'}),
                     'Saved 0 of 2 files to /tmp/shots; 2 failed');
  assert.strictEqual(progressText({state: 'done', joined: false, saved: 2, items: 2,
                                   path: '/tmp/shots', failures: []}),
                     'Saved to /tmp/shots');
});

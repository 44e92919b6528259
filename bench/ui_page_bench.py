#!/usr/bin/env python3
"""The UI page with 100,000 rows, in the real engine: the page-side time per addResult, the
longest frame while the full list scrolls, and the time from typing in the search box (a
word, or search terms), clicking a type chip or a column to sort, to the frame that shows
the result. Prints figures; asserts
nothing.

Run: xvfb-run -a /usr/bin/python3 bench/ui_page_bench.py build/bin/Html
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "ui"))

from page_runner import Page  # noqa: E402

ROWS = int(os.environ.get("ROWS", "100000"))

# Before the page's scripts: times every animation-frame callback, so the page's own work
# per frame can be told from the engine's.
FRAME_TIMER = r"""
window.__callbackMilliseconds = [];
const originalFrame = window.requestAnimationFrame.bind(window);
window.requestAnimationFrame = (callback) => originalFrame((time) => {
  const started = performance.now();
  callback(time);
  window.__callbackMilliseconds.push(performance.now() - started);
});
"""

# Runs in the page; leaves its figures in window.__bench.
MEASURE = r"""
(() => {
  const rows = [];
  for (let i = 0; i < %(rows)d; ++i) {
    rows.push(JSON.stringify({fileName: 'file-' + i + '.png', mimeType: i %% 3 ? 'image/png' : 'video/mp4',
                              size: (i %% 1000) + 'B', url: 'https://cdn.example/assets/' + i + '/file-' + i + '.png',
                              id: i + 1, status: i %% 50 ? 200 : 404, statusText: 'OK',
                              method: i %% 7 ? 'GET' : 'POST', window: 0, start: i, response: 5,
                              duration: i %% 900, bytes: i %% 1000, received: -1,
                              redirects: i %% 11 ? 0 : 1, fromCache: false, error: ''}));
  }
  const bench = window.__bench = {};
  const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve(performance.now())));
  (async () => {
    let started = performance.now();
    for (const row of rows) addResult(row);
    bench.addResultMicroseconds = (performance.now() - started) * 1000 / rows.length;
    started = performance.now();
    await frame();
    bench.firstFrameMilliseconds = performance.now() - started;
    const viewport = document.getElementById('viewport');
    let last = await frame();
    window.__callbackMilliseconds = [];
    const intervals = [];
    for (let i = 0; i < 240; ++i) {
      viewport.scrollTop += 997;
      const now = await frame();
      intervals.push(now - last);
      last = now;
    }
    intervals.sort((a, b) => a - b);
    bench.longestScrollFrameMilliseconds = intervals[intervals.length - 1];
    bench.medianScrollFrameMilliseconds = intervals[intervals.length >> 1];
    bench.p95ScrollFrameMilliseconds = intervals[Math.floor(intervals.length * 0.95)];
    bench.longestScrollScriptMilliseconds = Math.max(...window.__callbackMilliseconds);
    const box = document.getElementById('narrow');
    started = performance.now();
    box.value = 'video';
    box.dispatchEvent(new Event('input'));
    await frame();
    bench.searchMilliseconds = performance.now() - started;
    bench.shownAfterSearch = document.getElementById('status').textContent;
    box.value = '';
    box.dispatchEvent(new Event('input'));
    await frame();
    started = performance.now();
    document.querySelector('.header [data-key=url]').click();
    await frame();
    bench.sortMilliseconds = performance.now() - started;
    started = performance.now();
    document.querySelector('.header [data-key=size]').click();
    await frame();
    bench.sizeSortMilliseconds = performance.now() - started;
    started = performance.now();
    document.querySelector('.header [data-key=duration]').click();
    await frame();
    bench.timeSortMilliseconds = performance.now() - started;
    started = performance.now();
    document.querySelector('[data-kind=media]').click();
    await frame();
    bench.chipMilliseconds = performance.now() - started;
    bench.shownAfterChip = document.getElementById('status').textContent;
    document.querySelector('[data-kind=""]').click();
    await frame();
    started = performance.now();
    box.value = 'status:404 method:post larger-than:0.5k -file-1';
    box.dispatchEvent(new Event('input'));
    await frame();
    bench.termsMilliseconds = performance.now() - started;
    bench.shownAfterTerms = document.getElementById('status').textContent;
    bench.done = true;
  })();
})()
"""


def main():
    html = sys.argv[1] if len(sys.argv) > 1 else "build/bin/Html"
    page = Page(html, extra_script=FRAME_TIMER)
    page.js((MEASURE % {"rows": ROWS}).strip())
    if not page.wait(lambda: page.js("window.__bench && window.__bench.done"), 300):
        raise RuntimeError("the page did not finish")
    bench = page.js("window.__bench")
    page.close()
    print("addResult, %d rows: %.2f us each; the first frame after them: %.1f ms" %
          (ROWS, bench["addResultMicroseconds"], bench["firstFrameMilliseconds"]))
    print("frames while scrolling the full list: longest %.1f ms, 95%% within %.1f ms, "
          "median %.1f ms" % (bench["longestScrollFrameMilliseconds"],
                              bench["p95ScrollFrameMilliseconds"],
                              bench["medianScrollFrameMilliseconds"]))
    print("the page's own script in any of those frames: at most %.1f ms" %
          bench["longestScrollScriptMilliseconds"])
    print("search box to its frame: %.1f ms (%s)" % (bench["searchMilliseconds"],
                                                      bench["shownAfterSearch"]))
    print("sort by URL to its frame: %.1f ms; by size: %.1f ms; by time: %.1f ms" %
          (bench["sortMilliseconds"], bench["sizeSortMilliseconds"], bench["timeSortMilliseconds"]))
    print("the Media chip to its frame: %.1f ms (%s)" % (bench["chipMilliseconds"],
                                                         bench["shownAfterChip"]))
    print("four search terms to their frame: %.1f ms (%s)" % (bench["termsMilliseconds"],
                                                               bench["shownAfterTerms"]))


if __name__ == "__main__":
    main()

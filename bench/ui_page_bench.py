#!/usr/bin/env python3
"""The UI page with 100,000 rows, in the real engine: the page-side time per addResult, the
frames while the full list scrolls, and the time from typing in the search box (a word, or
search terms), clicking a type chip or a column to sort, to the frame that shows the
result. In the same run, a bare view scrolls a static page of the same rows (the same
style sheet, every row in the document): the limit this machine's painting allows. Prints
figures; asserts nothing.

Run: xvfb-run -a /usr/bin/python3 bench/ui_page_bench.py build/bin/Html
"""

import html
import os
import shutil
import sys
import tempfile

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
    bench.shownAfterSearch = document.querySelector('#status span').textContent;
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
    bench.shownAfterChip = document.querySelector('#status span').textContent;
    document.querySelector('[data-kind=""]').click();
    await frame();
    started = performance.now();
    box.value = 'status:404 method:post larger-than:0.5k -file-1';
    box.dispatchEvent(new Event('input'));
    await frame();
    bench.termsMilliseconds = performance.now() - started;
    bench.shownAfterTerms = document.querySelector('#status span').textContent;
    bench.done = true;
  })();
})()
"""


# Scrolls the static page as MEASURE scrolls the list; leaves its figures in window.__bench.
STATIC_SCROLL = r"""
(() => {
  const bench = window.__bench = {};
  const frame = () => new Promise((resolve) => requestAnimationFrame(() => resolve(performance.now())));
  (async () => {
    const viewport = document.getElementById('viewport');
    let last = await frame();
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
    bench.done = true;
  })();
})()
"""

CELLS = ("name", "outcome", "method", "mime", "size", "time", "waterfall", "url")


def static_page(html_folder, rows):
    """A folder with a page of `rows` rows as the list draws them, in the document's flow,
    with the list's style sheet."""
    folder = tempfile.mkdtemp(prefix="trawler-static-")
    shutil.copy(os.path.join(html_folder, "trawler.css"), folder)
    lines = []
    for i in range(rows):
        texts = ("file-%d.png" % i, "200", "GET", "image/png", "%dB" % (i % 1000),
                 "%d ms" % (i % 900), "", "https://cdn.example/assets/%d/file-%d.png" % (i, i))
        cells = "".join('<div class="cell %s">%s</div>' % (name, html.escape(text))
                        for name, text in zip(CELLS, texts))
        cells = cells.replace('<div class="cell waterfall"></div>',
                              '<div class="cell waterfall"><span class="bar" style="left:%d%%;'
                              'width:5%%;--wait:30%%"></span></div>' % (i % 95))
        lines.append('<div class="row">%s</div>' % cells)
    with open(os.path.join(folder, "index.html"), "w") as out:
        out.write('<!DOCTYPE html><html><head><meta charset="utf-8"><link rel="stylesheet" '
                  'href="trawler.css"></head><body><main class="results"><div id="viewport" '
                  'style="flex: 1; overflow-y: auto">%s</div></main></body></html>' % "".join(lines))
    return folder


def scroll_static(html_folder):
    """The frames of a bare view scrolling the static page, as MEASURE scrolls the list."""
    folder = static_page(html_folder, 240 * 997 // 28 + 60)
    try:
        page = Page(folder)
        page.js(STATIC_SCROLL.strip())
        if not page.wait(lambda: page.js("window.__bench && window.__bench.done"), 300):
            raise RuntimeError("the static page did not finish")
        bench = page.js("window.__bench")
        page.close()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return bench


def main():
    html = sys.argv[1] if len(sys.argv) > 1 else "build/bin/Html"
    page = Page(html, extra_script=FRAME_TIMER)
    page.js((MEASURE % {"rows": ROWS}).strip())
    if not page.wait(lambda: page.js("window.__bench && window.__bench.done"), 300):
        raise RuntimeError("the page did not finish")
    bench = page.js("window.__bench")
    page.close()
    bare = scroll_static(html)
    print("addResult, %d rows: %.2f us each; the first frame after them: %.1f ms" %
          (ROWS, bench["addResultMicroseconds"], bench["firstFrameMilliseconds"]))
    print("frames while scrolling the full list: longest %.1f ms, 95%% within %.1f ms, "
          "median %.1f ms" % (bench["longestScrollFrameMilliseconds"],
                              bench["p95ScrollFrameMilliseconds"],
                              bench["medianScrollFrameMilliseconds"]))
    print("a bare view scrolling a static page of the same rows: longest %.1f ms, 95%% within "
          "%.1f ms, median %.1f ms; the list's median is %.2f times its median, its longest "
          "%.2f times its longest" % (
              bare["longestScrollFrameMilliseconds"], bare["p95ScrollFrameMilliseconds"],
              bare["medianScrollFrameMilliseconds"],
              bench["medianScrollFrameMilliseconds"] / bare["medianScrollFrameMilliseconds"],
              bench["longestScrollFrameMilliseconds"] / bare["longestScrollFrameMilliseconds"]))
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

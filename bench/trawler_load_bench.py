#!/usr/bin/env python3
"""What capture costs a real page load: a local page of 2,000 images loaded in the real
trawler with a search running and with none (the same load, every response ignored), the
UI process's CPU time per reported response, and the time from the last response the
server sent to its row in the UI page. Prints figures; asserts nothing.

Run (builds first): xvfb-run -a python3 bench/trawler_load_bench.py build/bin
"""

import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import local_site  # noqa: E402
from trawler_app import Trawler  # noqa: E402

RESOURCES = 2000
ROUNDS = 6

# A UI page that only counts rows, so the figures are the engine's and not a page's.
COUNTING_PAGE = """<!DOCTYPE html><title>Trawler</title><script>
'use strict';
const base = 'http://127.0.0.1:__PORT__';
let rows = 0, last = 0;
function post(kind, data) {
  const request = new XMLHttpRequest();
  request.open('POST', base + '/report', false);
  request.send(JSON.stringify({kind: kind, data: data}));
}
function addResult(row) { ++rows; last = Date.now(); }
function run(command) {
  if (command.kind === 'count') { post('count', {rows: rows, last: last}); return; }
  service.uri = 'com.quillmoor.trawler';
  service.method = command.method;
  service.params = JSON.stringify(command.params);
  post('answer', {method: command.method, answer: service.call()});
}
function poll() {
  const request = new XMLHttpRequest();
  request.open('GET', base + '/command', false);
  request.send();
  if (request.responseText) run(JSON.parse(request.responseText));
  setTimeout(poll, 250);  // seldom, so the page stays out of the figures
}
post('ready', typeof service);
poll();
</script>"""


def bench_pages(original):
    def pages(phase):
        found = original(phase)
        images = "".join('<img src="/p%d/img/%d.png">' % (phase, i) for i in range(RESOURCES))
        found["/bench.html"] = local_site.Page("text/html", (
            "<!DOCTYPE html><body>%s<script>onload = () => {"
            "const x = new XMLHttpRequest(); x.open('POST', '/report', false);"
            "x.send(JSON.stringify({kind: 'loaded', data: performance.now()}));};</script>"
        ) % images)
        for i in range(RESOURCES):
            found["/img/%d.png" % i] = local_site.Page("image/png", local_site.PNG)
        return found
    return pages


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rows_seen(app, server):
    """The UI page's count of rows and the wall-clock time of the last one (seconds)."""
    before = len(server.reports_of("count"))
    app.send({"kind": "count"})
    server.wait_for(lambda: len(app.reports("count")) > before)
    return server.reports_of("count")[before]


def load(app, server, phase, captured):
    """Loads the page once; answers its load time (ms), the UI process's CPU time (s) and,
    when captured, the seconds from the last response sent to its row."""
    loaded_before = len(server.reports_of("loaded"))
    cpu_before = cpu_seconds(app.process.pid)
    app.start(server.url("/p%d/bench.html" % phase))
    if not captured:
        app.call("stop")
    server.wait_for(lambda: len(app.reports("loaded")) > loaded_before, 120)
    load_time = server.reports_of("loaded")[loaded_before]
    latency = None
    if captured:
        seen = rows_seen(app, server)
        # The server's clock is monotonic, the page's is the wall clock: both are turned
        # into "seconds ago".
        last_sent = max(entry.time for entry in server.logged() if entry.path.startswith(
            "/p%d/" % phase))
        latency = (time.monotonic() - last_sent) - (time.time() - seen["last"] / 1000.0)
    return load_time, cpu_seconds(app.process.pid) - cpu_before, latency


def main():
    bin_folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    local_site.site_pages = bench_pages(local_site.site_pages)
    server = local_site.SiteServer()
    work = tempfile.mkdtemp(prefix="trawler-bench-")
    app = Trawler(bin_folder, server, work, page=COUNTING_PAGE)
    figures = {False: [], True: []}
    phase = 0
    try:
        # The order alternates, so that neither kind of load always comes after the other.
        for round_number in range(ROUNDS):
            for captured in (round_number % 2 == 0, round_number % 2 == 1):
                phase += 1
                figures[captured].append(load(app, server, phase, captured))
    finally:
        app.close()
        server.stop()
        shutil.rmtree(work, ignore_errors=True)
    ignored = statistics.median(load_time for load_time, _, _ in figures[False])
    captured = statistics.median(load_time for load_time, _, _ in figures[True])
    cpu_ignored = statistics.median(cpu for _, cpu, _ in figures[False])
    cpu_captured = statistics.median(cpu for _, cpu, _ in figures[True])
    latency = statistics.median(latency for _, _, latency in figures[True])
    print("page load, %d resources: %.0f ms with no search running, %.0f ms captured, "
          "ratio %.3f" % (RESOURCES, ignored, captured, captured / ignored))
    print("UI process CPU per reported response: %.1f us more than per ignored one "
          "(per load: %.0f ms captured, %.0f ms ignored)" % (
              (cpu_captured - cpu_ignored) / RESOURCES * 1e6, cpu_captured * 1000,
              cpu_ignored * 1000))
    print("last response sent to its row in the UI page: %.1f ms" % (latency * 1000))


if __name__ == "__main__":
    main()

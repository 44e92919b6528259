#!/usr/bin/env python3
"""What capture costs a real page load: a local page of 3,000 images loaded in the real
trawler with a search running and with none (the same load, every response ignored), the
UI process's CPU time per listed row, the messages Trawler sends its UI page per row (one
load traced with strace), the time from the last response the server sent to its row in
the UI page, and a burst of 10,000 resources in trawler against a bare WebKitGTK view.
Prints figures; asserts nothing.

Run (builds first): xvfb-run -a python3 bench/trawler_load_bench.py build/bin
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

import local_site  # noqa: E402
from trawler_app import Trawler  # noqa: E402

RESOURCES = 3000
BURST = 10000
ROUNDS = 6
BURST_ROUNDS = 3
HERE = os.path.dirname(os.path.abspath(__file__))

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
    def page_of(phase, count):
        images = "".join('<img src="/p%d/img/%d.png">' % (phase, i) for i in range(count))
        return local_site.Page("text/html", (
            "<!DOCTYPE html><body>%s<script>onload = () => {"
            "const x = new XMLHttpRequest(); x.open('POST', '/report', false);"
            "x.send(JSON.stringify({kind: 'loaded', data: performance.now()}));};</script>"
        ) % images)

    def pages(phase):
        found = original(phase)
        found["/bench.html"] = page_of(phase, RESOURCES)
        found["/burst.html"] = page_of(phase, BURST)
        for i in range(BURST):
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


def load(app, server, phase, captured, page="bench.html"):
    """Loads the page once; answers its load time (ms), the UI process's CPU time (s) and,
    when captured, the seconds from the last response sent to its row."""
    loaded_before = len(server.reports_of("loaded"))
    cpu_before = cpu_seconds(app.process.pid)
    app.start(server.url("/p%d/%s" % (phase, page)))
    if not captured:
        app.call("stop")
    server.wait_for(lambda: len(app.reports("loaded")) > loaded_before, 600)
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


def messages_per_row(app, server, phase):
    """Loads the page once, captured, with strace counting the UI process's writes to
    sockets; answers the writes per row (each frame to the page agent is one send)."""
    trace = os.path.join(tempfile.mkdtemp(prefix="trawler-trace-"), "sends")
    tracer = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=sendto,sendmsg",
                               "-e", "signal=none", "-o", trace, "-p", str(app.process.pid)])
    time.sleep(1)  # strace has attached
    before = rows_seen(app, server)["rows"]
    load(app, server, phase, True)
    rows = rows_seen(app, server)["rows"] - before
    tracer.terminate()
    tracer.wait()
    with open(trace) as lines:
        # Trawler's own socket writes: the agent link's sends (X11 goes by writev).
        sends = sum(1 for line in lines if "sendto(" in line)
    shutil.rmtree(os.path.dirname(trace), ignore_errors=True)
    return sends / max(rows, 1), rows


def bare_load(server, phase):
    """The burst page in a bare WebKitGTK view; its load time (ms)."""
    loaded_before = len(server.reports_of("loaded"))
    subprocess.run(["/usr/bin/python3", os.path.join(HERE, "bare_view_load.py"),
                    server.url("/p%d/burst.html" % phase)], check=True, timeout=300,
                   stdout=subprocess.DEVNULL)
    server.wait_for(lambda: len(server.reports_of("loaded")) > loaded_before, 60)
    return server.reports_of("loaded")[loaded_before]


def main():
    bin_folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    local_site.site_pages = bench_pages(local_site.site_pages)
    server = local_site.SiteServer()
    work = tempfile.mkdtemp(prefix="trawler-bench-")
    app = Trawler(bin_folder, server, work, page=COUNTING_PAGE)
    figures = {False: [], True: []}
    bursts = {"trawler": [], "bare": []}
    phase = 0
    try:
        # The order alternates, so that neither kind of load always comes after the other.
        for round_number in range(ROUNDS):
            for captured in (round_number % 2 == 0, round_number % 2 == 1):
                phase += 1
                figures[captured].append(load(app, server, phase, captured))
        phase += 1
        sends, traced_rows = messages_per_row(app, server, phase)
        for round_number in range(BURST_ROUNDS):
            for kind in (("trawler", "bare") if round_number % 2 == 0 else ("bare", "trawler")):
                phase += 1
                if kind == "bare":
                    bursts[kind].append(bare_load(server, phase))
                else:
                    bursts[kind].append(load(app, server, phase, True, "burst.html")[0])
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
    print("UI process CPU per listed row: %.1f us more than per ignored response "
          "(per load: %.0f ms captured, %.0f ms ignored)" % (
              (cpu_captured - cpu_ignored) / RESOURCES * 1e6, cpu_captured * 1000,
              cpu_ignored * 1000))
    print("last response sent to its row in the UI page: %.1f ms" % (latency * 1000))
    print("messages to the UI page per row: %.3f (%d rows traced)" % (sends, traced_rows))
    trawler_burst = statistics.median(bursts["trawler"])
    bare_burst = statistics.median(bursts["bare"])
    print("burst of %d resources: %.0f ms in trawler, %.0f ms in a bare WebKitGTK view, "
          "ratio %.3f" % (BURST, trawler_burst, bare_burst, trawler_burst / bare_burst))


if __name__ == "__main__":
    main()

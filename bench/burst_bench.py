#!/usr/bin/env python3
"""Rows while a heavy page loads: a page of 10,000 images served by nginx (so that the
server is not what is measured) loaded in the real trawler with its real UI page, and in a
bare WebKitGTK view, rounds alternating. For trawler: the lag from each response leaving
the server (nginx's log) to the UI page's render that takes its row, for the first row and
the median one, and the load's time against the bare view's. Prints figures; asserts
nothing.

Run (builds first): xvfb-run -a python3 bench/burst_bench.py build/bin
"""

import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import local_site  # noqa: E402
from trawler_app import Trawler  # noqa: E402

IMAGES = int(os.environ.get("IMAGES", "10000"))
ROUNDS = 3

# After the real page's scripts: notes when each row arrives and when a render takes it into
# the list, and reports them, and the page's load, on the test channel's commands.
TIMING = r"""
'use strict';
(() => {
  const base = 'http://127.0.0.1:__PORT__';
  const post = (kind, data) => {
    const request = new XMLHttpRequest();
    request.open('POST', base + '/report', false);
    request.send(JSON.stringify({kind: kind, data: data}));
  };
  let arrivals = [];
  let shown = [];
  const add = window.addResult;
  window.addResult = (text) => {
    arrivals.push([JSON.parse(text).url, Date.now()]);
    add(text);
  };
  const loaded = window.pageLoaded;
  window.pageLoaded = (text) => {
    loaded(text);
    post('loaded', text);
  };
  const results = TrawlerPage.state.results;
  const take = results.takePending;
  results.takePending = () => {
    const taken = results.pending.length;
    take();
    const now = Date.now();
    for (let i = 0; i < taken; ++i) shown.push(now);
  };
  const run = (command) => {
    if (command.kind === 'times') {
      post('times', {arrivals: arrivals, shown: shown});
      arrivals = [];
      shown = [];
      return;
    }
    service.uri = 'com.quillmoor.trawler';
    service.method = command.method;
    service.params = JSON.stringify(command.params);
    post('answer', {method: command.method, answer: service.call()});
  };
  (function poll() {
    const request = new XMLHttpRequest();
    request.open('GET', base + '/command', false);
    request.send();
    if (request.responseText) run(JSON.parse(request.responseText));
    setTimeout(poll, 250);
  })();
  post('ready', typeof service);
})();
"""

NGINX = """daemon off;
worker_processes 2;
pid %(work)s/nginx.pid;
error_log %(work)s/error.log;
events { worker_connections 1024; }
http {
  log_format sent '$msec $request_uri $connection';
  access_log %(work)s/access.log sent;
  client_body_temp_path %(work)s/body;
  proxy_temp_path %(work)s/proxy;
  fastcgi_temp_path %(work)s/fastcgi;
  uwsgi_temp_path %(work)s/uwsgi;
  scgi_temp_path %(work)s/scgi;
  types { text/html html; image/png png; }
  server { listen 127.0.0.1:%(port)d; root %(work)s/site; }
}
"""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def make_site(work, count=IMAGES, rounds=2 * ROUNDS):
    """Round folders r0..r<rounds - 1>, each a page burst.html of the same `count` images
    under its own addresses (so no round finds another's in a cache)."""
    images = os.path.join(work, "images")
    os.makedirs(images)
    for index in range(count):
        with open(os.path.join(images, "%d.png" % index), "wb") as image:
            image.write(local_site.PNG)
    page = "<!DOCTYPE html><body>" + "".join('<img src="img/%d.png">' % index
                                             for index in range(count))
    for round_number in range(rounds):
        folder = os.path.join(work, "site", "r%d" % round_number)
        os.makedirs(folder)
        os.symlink(images, os.path.join(folder, "img"))
        with open(os.path.join(folder, "burst.html"), "w") as out:
            out.write(page)


def sent_times(work):
    """When nginx sent each address's response (wall-clock milliseconds)."""
    sent = {}
    with open(os.path.join(work, "access.log")) as log:
        for line in log:
            when, path = line.split()[:2]
            sent[path] = float(when) * 1000
    return sent


def trawler_round(app, server, url, work):
    """One load in trawler: its time (ms, as trawler measured it from its search's start),
    and the lags (ms) of the rows from their responses to their render."""
    before = len(server.reports_of("loaded"))
    app.start(url)
    server.wait_for(lambda: len(server.reports_of("loaded")) > before, 600)
    load = json.loads(server.reports_of("loaded")[before])
    server.wait_for(lambda: False, 2)  # the last rows reach the page and a render
    times_before = len(server.reports_of("times"))
    app.send({"kind": "times"})
    server.wait_for(lambda: len(server.reports_of("times")) > times_before, 60)
    times = server.reports_of("times")[times_before]
    sent = sent_times(work)
    prefix = url[:url.index("/r")]
    lags = []
    for (address, _), shown in zip(times["arrivals"], times["shown"]):
        path = address[len(prefix):]
        if path in sent:
            lags.append(shown - sent[path])
    return load["loadMs"], lags


def start_nginx(work):
    """nginx serving work/site on a free port of 127.0.0.1: (process, port)."""
    os.chmod(work, 0o755)  # nginx's workers may run as another user
    port = free_port()
    with open(os.path.join(work, "nginx.conf"), "w") as conf:
        conf.write(NGINX % {"work": work, "port": port})
    return subprocess.Popen(["/usr/sbin/nginx", "-p", work, "-c",
                             os.path.join(work, "nginx.conf")]), port


def bare_round(url):
    done = subprocess.run(["/usr/bin/python3", os.path.join(HERE, "bare_view_load.py"), url],
                          check=True, timeout=600, capture_output=True, text=True)
    return float(done.stdout.strip().splitlines()[-1])


def main():
    bin_folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    work = tempfile.mkdtemp(prefix="trawler-burst-")
    make_site(work)
    nginx, port = start_nginx(work)
    server = local_site.SiteServer()
    app = Trawler(bin_folder, server, os.path.join(work, "trawler"), real_page=True,
                  page_script=TIMING)
    loads = {"trawler": [], "bare": []}
    firsts, medians = [], []
    try:
        server.wait_for(lambda: server.reports_of("ready"), 30)
        round_number = 0
        for turn in range(ROUNDS):
            for kind in (("trawler", "bare") if turn % 2 == 0 else ("bare", "trawler")):
                url = "http://127.0.0.1:%d/r%d/burst.html" % (port, round_number)
                round_number += 1
                if kind == "bare":
                    loads["bare"].append(bare_round(url))
                    continue
                load, lags = trawler_round(app, server, url, work)
                loads["trawler"].append(load)
                firsts.append(lags[0])
                medians.append(statistics.median(lags))
    finally:
        app.close()
        server.stop()
        nginx.terminate()
        nginx.wait()
        shutil.rmtree(work, ignore_errors=True)
    trawler, bare = statistics.median(loads["trawler"]), statistics.median(loads["bare"])
    print("burst of %d images from nginx: %.0f ms in trawler (its real page), %.0f ms in a bare "
          "WebKitGTK view, ratio %.3f (medians of %d rounds each)" % (
              IMAGES, trawler, bare, trawler / bare, ROUNDS))
    print("response to the render that takes its row: the first row %.0f ms, the median row "
          "%.0f ms (medians over the rounds; each round's: first %s, median %s)" % (
              statistics.median(firsts), statistics.median(medians),
              [round(value) for value in firsts], [round(value) for value in medians]))


if __name__ == "__main__":
    main()

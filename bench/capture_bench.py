#!/usr/bin/env python3
"""trawler-capture against a scripted headless browser: a page of 1,000 images (1,001
responses) served by nginx, captured to a HAR file by trawler-capture and by headless
Chromium recording one over its DevTools protocol (bench/chromium_har.js), each run timed
from its start to its exit, rounds alternating, each round under addresses of its own so no
cache helps; the two HARs' requests compared (URL, method, status); and trawler-capture's
time to its last response against a bare WebKitGTK view's load on a display like its own.
Prints figures; asserts nothing. Installs Debian's chromium and, in a folder of the bench's
own, the npm package chrome-remote-interface when they are missing.

Run (builds first; it needs no display): python3 bench/capture_bench.py build/bin
"""

import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import burst_bench  # noqa: E402

IMAGES = 1000
ROUNDS = 7
MODULES = os.path.join(HERE, "..", ".tools", "bench")


def install_chromium():
    if not os.path.exists("/usr/bin/chromium"):
        subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "chromium"],
                       check=True, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
    if not os.path.isdir(os.path.join(MODULES, "node_modules", "chrome-remote-interface")):
        subprocess.run(["npm", "install", "--prefix", MODULES, "--no-audit", "--no-fund",
                        "--silent", "chrome-remote-interface@0.33"], check=True)


def timed(command, **options):
    """Runs the command to its end: its wall-clock time (ms) and its standard output."""
    started = time.monotonic()
    done = subprocess.run(command, timeout=600, capture_output=True, text=True, **options)
    if done.returncode:
        sys.exit("%s failed (%d): %s" % (command[0], done.returncode, done.stderr))
    return (time.monotonic() - started) * 1000, done.stdout


def requests_of(har, base):
    """The HAR's requests as (path below the round's folder, method, status), counted."""
    with open(har) as text:
        entries = json.load(text)["log"]["entries"]
    found = {}
    for entry in entries:
        address = entry["request"]["url"]
        key = (address[len(base):], entry["request"]["method"], entry["response"]["status"])
        found[key] = found.get(key, 0) + 1
    return found


def bare_round(url):
    """A bare WebKitGTK view's load (ms), on a display like trawler-capture's own (24-bit
    colour: a shallower display paints for less)."""
    done = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", "/usr/bin/python3",
                           os.path.join(HERE, "bare_view_load.py"), url],
                          check=True, timeout=600, capture_output=True, text=True)
    return float(done.stdout.strip().splitlines()[-1])


def capture_round(bin_folder, url, har, home):
    """trawler-capture to a HAR (its load event with nothing in flight ends it, as the
    Chromium script's does): its time (ms), and its last response since its page started."""
    environment = dict(os.environ, HOME=home)
    environment.pop("DISPLAY", None)
    spent, rows = timed([os.path.join(bin_folder, "trawler-capture"), "--idle", "0",
                         "--har", har, "--jsonl", "-", url], env=environment)
    last = max(row["start"] + row["duration"] for row in map(json.loads, rows.splitlines()))
    return spent, last


def main():
    bin_folder = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/bin")
    install_chromium()
    work = tempfile.mkdtemp(prefix="trawler-capture-bench-")
    burst_bench.make_site(work, IMAGES, 3 * ROUNDS)
    nginx, port = burst_bench.start_nginx(work)
    times = {"capture": [], "chromium": [], "bare": [], "last": []}
    compared = None
    try:
        time.sleep(0.5)  # nginx binds its port
        for turn in range(ROUNDS):
            order = ("capture", "chromium", "bare") if turn % 2 == 0 else ("bare", "chromium",
                                                                             "capture")
            for offset, kind in enumerate(order):
                folder = "r%d" % (3 * turn + offset)
                base = "http://127.0.0.1:%d/%s/" % (port, folder)
                har = os.path.join(work, "%s-%d.har" % (kind, turn))
                if kind == "capture":
                    spent, last = capture_round(bin_folder, base + "burst.html", har,
                                                os.path.join(work, "home-%d" % turn))
                    times["last"].append(last)
                elif kind == "chromium":
                    spent, _ = timed(["node", os.path.join(HERE, "chromium_har.js"), MODULES,
                                      base + "burst.html", har],
                                     env=dict(os.environ, TMPDIR=work))
                else:
                    spent = bare_round(base + "burst.html")
                times[kind].append(spent)
                if turn == 0 and kind != "bare":
                    compared = compared or {}
                    compared[kind] = requests_of(har, base)
    finally:
        nginx.terminate()
        nginx.wait()
        shutil.rmtree(work, ignore_errors=True)
    median = {kind: statistics.median(values) for kind, values in times.items()}
    print("a page of %d images from nginx to a HAR file, medians of %d rounds: trawler-capture "
          "%.0f ms, headless Chromium over DevTools %.0f ms (ratio %.2f)" % (
              IMAGES, ROUNDS, median["capture"], median["chromium"],
              median["capture"] / median["chromium"]))
    print("trawler-capture's last response %.0f ms after its page started, a bare WebKitGTK "
          "view's load %.0f ms (ratio %.2f)" % (median["last"], median["bare"],
                                                median["last"] / median["bare"]))
    print("each round (ms): %s" % {kind: [round(value) for value in values]
                                   for kind, values in times.items()})
    same = compared["capture"] == compared["chromium"]
    print("the two HARs list the same requests (URL, method, status): %s (%d and %d entries)"
          % ("yes" if same else "no", sum(compared["capture"].values()),
             sum(compared["chromium"].values())))
    if not same:
        only = set(compared["capture"].items()) ^ set(compared["chromium"].items())
        print("differing: %s" % sorted(only)[:10])


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Saving a stream as one file: a 2-minute 1080p HLS stream (H.264 and AAC in MPEG-TS) of
120 one-second segments, served by a local server that waits 20 ms before each answer,
saved by trawler-capture --save (its page fetches the playlist) and by the reference tool,
`ffmpeg -i URL -c copy`, rounds alternating, each round under addresses of its own so no
cache helps. Timed from process start to exit; trawler-capture's run without --save (the
same page) gives what its start costs, so its save alone is told too. Both files are
checked: the same frames (ffmpeg's framemd5 of the video). Prints figures; asserts nothing.

Run (builds first; it needs no display): python3 bench/stream_save_bench.py build/bin
"""

import http.server
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SECONDS = 120
LATENCY = 0.020
ROUNDS = 3
FFMPEG = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y"]


def make_stream(folder):
    """The stream's playlist and segments in folder/hls."""
    out = os.path.join(folder, "hls")
    os.makedirs(out)
    subprocess.run(FFMPEG + [
        "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25",
        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", str(SECONDS),
        "-c:v", "libx264", "-preset", "ultrafast", "-b:v", "4M", "-g", "25", "-keyint_min", "25",
        "-sc_threshold", "0", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "128k",
        "-f", "hls", "-hls_time", "1", "-hls_list_size", "0", "-hls_playlist_type", "vod",
        "-hls_segment_filename", os.path.join(out, "seg_%03d.ts"),
        os.path.join(out, "index.m3u8")], check=True, timeout=1800)
    with open(os.path.join(folder, "page.html"), "w") as page:
        page.write("<!DOCTYPE html><script>fetch('hls/index.m3u8')</script>")


def serve(folder):
    """A server of the folder under /rN/ for any N, keeping connections, each answer after
    the latency; its port."""
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *arguments):
            pass

        def do_GET(self):
            time.sleep(LATENCY)
            path = os.path.join(folder, *self.path.split("?")[0].split("/")[2:])
            if not os.path.isfile(path):
                self.send_response(404)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            with open(path, "rb") as data:
                body = data.read()
            kind = {".m3u8": "application/vnd.apple.mpegurl", ".ts": "video/mp2t",
                    ".html": "text/html"}[os.path.splitext(path)[1]]
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Cache-Control", "max-age=3600")
            self.end_headers()
            self.wfile.write(body)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def timed(command, environment):
    started = time.monotonic()
    done = subprocess.run(command, capture_output=True, text=True, timeout=1800, env=environment)
    if done.returncode:
        sys.exit("%s failed (%d): %s" % (command[0], done.returncode, done.stderr))
    return (time.monotonic() - started) * 1000


def frames(path):
    done = subprocess.run(FFMPEG + ["-i", path, "-map", "0:v", "-f", "framemd5", "-"],
                          capture_output=True, text=True, check=True, timeout=1800)
    return [line.split(",")[-1] for line in done.stdout.splitlines() if not line.startswith("#")]


def main():
    capture = os.path.join(sys.argv[1] if len(sys.argv) > 1 else "build/bin", "trawler-capture")
    work = tempfile.mkdtemp(prefix="trawler-stream-bench-")
    environment = {name: value for name, value in os.environ.items()
                   if name not in ("DISPLAY", "WAYLAND_DISPLAY")}
    environment["HOME"] = os.path.join(work, "home")
    try:
        print("making the stream (%d s of 1080p)..." % SECONDS, flush=True)
        make_stream(work)
        size = sum(os.path.getsize(os.path.join(work, "hls", name))
                   for name in os.listdir(os.path.join(work, "hls")))
        port = serve(work)
        base = "http://127.0.0.1:%d" % port
        times = {"trawler": [], "start": [], "ffmpeg": []}
        for round_number in range(ROUNDS):
            prefix = "%s/r%d" % (base, round_number)
            folder = os.path.join(work, "saved%d" % round_number)
            os.makedirs(folder)
            ffmpeg_out = os.path.join(work, "ffmpeg%d.ts" % round_number)
            runs = [
                ("ffmpeg", FFMPEG + ["-i", prefix + "/hls/index.m3u8", "-c", "copy", ffmpeg_out]),
                ("trawler", [capture, "--idle", "0", "--jsonl", os.devnull, "--save", folder,
                             prefix + "/page.html"]),
                ("start", [capture, "--idle", "0", "--jsonl", os.devnull,
                           "%s/s%d/page.html" % (base, round_number)]),
            ]
            if round_number % 2:
                runs.reverse()
            for name, command in runs:
                times[name].append(timed(command, environment))
            print("round %d: %s" % (round_number + 1, ", ".join(
                "%s %.0f ms" % (name, times[name][-1]) for name in times)), flush=True)
        saved = os.path.join(work, "saved0", "index.ts")
        same = frames(saved) == frames(os.path.join(work, "ffmpeg0.ts"))
        trawler, start, ffmpeg = (statistics.median(times[name])
                                  for name in ("trawler", "start", "ffmpeg"))
        print("stream: %d segments, %.1f MB, %d ms latency per request" %
              (SECONDS, size / 1e6, LATENCY * 1000))
        print("medians of %d: trawler-capture --save %.0f ms (its start and page alone %.0f ms); "
              "ffmpeg -c copy %.0f ms" % (ROUNDS, trawler, start, ffmpeg))
        print("ratio, whole run: %.2f; the save alone: %.2f (goal <= 1)" %
              (trawler / ffmpeg, (trawler - start) / ffmpeg))
        print("the same frames in both files: %s" % same)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

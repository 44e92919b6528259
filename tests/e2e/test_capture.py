"""trawler-capture against the local site, with no display of its own (it starts a private
Xvfb): its JSON lines and its HAR against what the server saw, its filters, its saves
against the served bytes, when a capture ends, several pages at once, exit codes, a reader
that goes away and an output that cannot be written."""

import collections
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import unittest
import urllib.parse

from filter_cases import FILTER_CASES, capture_arguments
from local_site import CLOSED_PORT, PNG, Page, SiteServer, padded, stream_pages
from media_streams import FORMS, SECONDS, SIZE, frame_digests, media_pages, probe

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "..", ".tools")
CAPTURE = os.environ.get("TRAWLER_CAPTURE", "")
# A run that hangs is a failure, not a stuck test.
RUN_SECONDS = 120


def light_page(phase, popup=False):
    """A page of an image and a script, for runs of many pages; with a popup, it opens a
    window of its image's redirect too."""
    p = "/p%d" % phase
    opens = "<script>window.open('%s/redirected.png')</script>" % p if popup else ""
    return Page("text/html", '<img src="%s/img/pic.png"><script src="%s/script.js"></script>%s'
                % (p, p, opens))


def busy_page(phase):
    """A page that never settles: it asks for something new ten times a second."""
    return Page("text/html", "<script>var n = 0; setInterval(function () { "
                "fetch('/p%d/tick/' + (n++) + '.png'); }, 100);</script>" % phase)


def quiet_environment(work):
    """No display, and a home of the test's own, so no run shares a cache with another."""
    environment = {name: value for name, value in os.environ.items()
                   if name not in ("DISPLAY", "WAYLAND_DISPLAY")}
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    environment.update(HOME=home, XDG_CACHE_HOME=os.path.join(home, "cache"),
                       XDG_DATA_HOME=os.path.join(home, "data"),
                       XDG_CONFIG_HOME=os.path.join(home, "config"))
    return environment


def path_of(url):
    parts = urllib.parse.urlsplit(url)
    return parts.path + ("?" + parts.query if parts.query else "")


class CaptureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="trawler-capture-")
        cls.server = SiteServer()
        cls.environment = quiet_environment(cls.work)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def capture(self, *arguments):
        """Runs trawler-capture to its end: (exit code, JSON lines, standard error). The
        quiet period is long enough for what a page opens a moment after its load even on a
        busy machine."""
        quiet = [] if "--idle" in arguments else ["--idle", "1500"]
        done = subprocess.run([CAPTURE] + quiet + list(arguments), capture_output=True,
                              text=True, env=self.environment, timeout=RUN_SECONDS)
        rows = [json.loads(line) for line in done.stdout.splitlines()]
        return done.returncode, rows, done.stderr

    def output(self, name):
        return os.path.join(self.work, name)

    def test_rows_and_har_are_what_the_server_sent(self):
        phase = 1
        self.server.pages(phase)["/seen.html"] = Page(
            "text/html", "<script>fetch('/p1/seen/' + typeof window.service + '.png')</script>")
        self.server.pages(phase)["/index.html"].body += b'<iframe src="/p1/seen.html"></iframe>'
        before = len(self.server.logged()), len(self.server.requests)
        har_path = self.output("site.har")
        code, rows, errors = self.capture("--jsonl", "-", "--har", har_path,
                                          self.server.url("/p1/index.html"))
        self.assertEqual((code, errors), (0, ""))
        sent = self.server.logged()[before[0]:]
        asked = self.server.requests[before[1]:]
        with open(har_path) as text:
            har = json.load(text)
        entries = [entry for entry in har["log"]["entries"]
                   if entry["request"]["url"].startswith("http")]
        # Every request the server answered is an entry once (redirect hops included), with
        # its method and status.
        self.assertEqual(collections.Counter((path_of(entry["request"]["url"]),
                                              entry["response"]["status"]) for entry in entries),
                         collections.Counter((answer.path, answer.status) for answer in sent))
        self.assertEqual(collections.Counter((path_of(entry["request"]["url"]),
                                              entry["request"]["method"]) for entry in entries),
                         collections.Counter((request.path, request.method) for request in asked))
        # The rows are the HAR's requests, a redirect's hops folded into its row.
        self.assertEqual(len(har["log"]["entries"]), len(rows) + sum(r["redirects"] for r in rows))
        listed = {(entry["request"]["url"], entry["request"]["method"],
                   entry["response"]["status"]) for entry in har["log"]["entries"]}
        for row in rows:
            # A data: address goes into the HAR as a URI may hold it.
            if row["url"].startswith("http"):
                self.assertIn((row["url"], row["method"], row["status"]), listed)
            self.assertEqual(row["page"], self.server.url("/p1/index.html"))
            self.assertTrue(row["finished"], row)
        by_name = {row["fileName"]: row for row in rows}
        # WebKit cancels the script that came with 404; the popups are rows of their windows.
        self.assertEqual((by_name["missing.js"]["status"], by_name["missing.js"]["cancelled"]),
                         (404, True))
        self.assertEqual(by_name["redirected.png"]["redirects"], 1)
        self.assertEqual(by_name["pic.png"]["bytes"], 1536)
        self.assertEqual({by_name["popup-link.png"]["window"], by_name["popup-open.png"]["window"]},
                         {1, 2})
        self.assertEqual(len(har["log"]["pages"]), 1)
        # No script of Trawler's is in the page: it sees no service object.
        self.assertIn(self.server.url("/p1/seen/undefined.png"), {row["url"] for row in rows})
        checked = subprocess.run(["node", os.path.join(HERE, "validate_har.js"), TOOLS, har_path],
                                 capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stdout)

    def test_filters_read_as_the_window_reads_them(self):
        phase = 2
        self.server.pages(phase)
        page = self.server.url("/p2/index.html")
        code, every, errors = self.capture(page)
        self.assertEqual((code, errors), (0, ""))
        # The window's table, then the patterns on the address that only the command has.
        table = [(capture_arguments(chosen), {row["url"] for row in every if selects(row)})
                 for chosen, selects, _ in FILTER_CASES]
        table += [
            (["--ext", "*.css", "--include", "style"], {self.server.url("/p2/style.css")}),
            (["--mime", "image", "--exclude", "popup|frame|%"],
             {self.server.url("/p2/img/pic.png"), self.server.url("/p2/redirected.png")}),
        ]
        for arguments, urls in table:
            code, rows, errors = self.capture(*arguments, page)
            self.assertEqual((code, errors), (0, ""), arguments)
            self.assertEqual({row["url"] for row in rows}, urls, arguments)

    def test_saves_hold_the_served_bytes_and_a_stream_as_one_file(self):
        phase = 3
        pages = self.server.pages(phase)
        pages.update(stream_pages(phase, os.path.join(self.work, "streams")))
        folder = self.output("saved")
        os.makedirs(folder)
        code, rows, errors = self.capture("--save", folder, "--jsonl", "-",
                                          self.server.url("/p3/hls.html"))
        # The DRM and the malformed playlist cannot be joined, and are said to be.
        self.assertEqual(code, 1)
        self.assertIn("drm.m3u8 as one file", errors)
        self.assertIn("broken.m3u8 as one file", errors)
        self.assertNotIn("locked", errors)
        saved = set(os.listdir(folder))
        for name, path in (("sound.mp3", "/media/sound.mp3"), ("poster.png", "/hls/poster.png"),
                           ("master.m3u8", "/hls/master.m3u8")):
            with open(os.path.join(folder, name), "rb") as data:
                self.assertEqual(data.read(), pages[path].body, name)
        # The master playlist's best variant, whose files only the page's cookie and Referer
        # get, joined in order.
        joined = b"".join(pages["/hls/high/seg_%d.ts" % n].body for n in range(3))
        with open(os.path.join(folder, "master 320x240.ts"), "rb") as data:
            self.assertEqual(data.read(), joined)
        # The AES-128 stream, decrypted with the key only the page's session gets.
        clear = b"".join(pages["/hls/low/seg_%d.ts" % n].body for n in range(3))
        with open(os.path.join(folder, "locked.ts"), "rb") as data:
            self.assertEqual(data.read(), clear)
        self.assertFalse([name for name in saved if ".part-" in name])
        self.assertTrue(rows)

    def test_each_stream_form_is_saved_as_one_file_with_its_sound(self):
        phase = 7
        pages, source = media_pages(phase, os.path.join(self.work, "media"))
        # One segment's connection drops once: the save asks for it again.
        pages["/streams/hls-ts/s0_2.ts"].drops = 1
        self.server.pages(phase).update(pages)
        frames = frame_digests(source)
        width, height = (int(side) for side in SIZE.split("x"))
        for form, (playlist, _) in FORMS.items():
            with self.subTest(form=form):
                folder = self.output("media-" + form)
                os.makedirs(folder)
                code, _, errors = self.capture(
                    "--save", folder, self.server.url("/p%d/streams/%s.html" % (phase, form)))
                self.assertEqual((code, errors), (0, ""))
                stem = os.path.splitext(playlist)[0]
                joined = os.path.join(folder, "%s %s.mp4" % (stem, SIZE))
                self.assertIn(playlist, os.listdir(folder))
                info = probe(joined)
                streams = {stream["codec_type"]: stream for stream in info["streams"]}
                self.assertEqual(sorted(streams), ["audio", "video"])
                self.assertEqual((streams["video"]["width"], streams["video"]["height"]),
                                 (width, height))
                self.assertAlmostEqual(float(info["format"]["duration"]), SECONDS, delta=0.5)
                # Remuxed, never encoded again: every frame is the source's.
                self.assertEqual(frame_digests(joined), frames)
        self.assertEqual(len(self.server.asked("/p%d/streams/hls-ts/s0_2.ts" % phase)), 2)

    def test_a_page_that_never_settles_ends_at_its_time_or_its_timeout(self):
        phase = 4
        self.server.pages(phase)["/busy.html"] = busy_page(phase)
        page = self.server.url("/p4/busy.html")
        code, rows, errors = self.capture("--timeout", "2", page)
        self.assertEqual(code, 1)
        self.assertIn("did not settle within 2 s", errors)
        self.assertGreater(len([row for row in rows if "/tick/" in row["url"]]), 3)
        code, rows, errors = self.capture("--until", "idle", "--timeout", "1.5", page)
        self.assertEqual(code, 1)
        self.assertIn("did not settle", errors)
        code, rows, errors = self.capture("--time", "1.5", page)
        self.assertEqual((code, errors), (0, ""))
        self.assertEqual(rows[0]["fileName"], "busy.html")

    def test_several_pages_at_once_each_row_naming_its_page(self):
        addresses = []
        for phase in range(20, 32):
            self.server.pages(phase)["/light.html"] = light_page(phase, popup=True)
            addresses.append(self.server.url("/p%d/light.html" % phase))
        har_path = self.output("many.har")
        code, rows, errors = self.capture("--jobs", "4", "--har", har_path, "--jsonl", "-",
                                          *addresses)
        self.assertEqual((code, errors), (0, ""))
        pages = collections.Counter(row["page"] for row in rows)
        self.assertEqual(pages, collections.Counter({address: 4 for address in addresses}))
        for row in rows:
            self.assertTrue(path_of(row["url"]).startswith(path_of(row["page"])[:5]), row)
        # Each page's window is its first: windows are counted page by page.
        self.assertEqual({(row["page"], row["window"]) for row in rows
                          if row["fileName"] == "redirected.png"},
                         {(address, 1) for address in addresses})
        with open(har_path) as text:
            har = json.load(text)
        self.assertEqual(sorted(page["title"] for page in har["log"]["pages"]), sorted(addresses))
        self.assertEqual(len(har["log"]["entries"]), len(rows))

    def test_exit_codes_say_what_happened(self):
        phase = 5
        self.server.pages(phase)["/light.html"] = light_page(phase)
        good = self.server.url("/p5/light.html")
        cases = (
            ((good,), 0, ""),
            ((self.server.url("/p5/nothing-here.html"),), 1, "answered 404"),
            (("http://127.0.0.1:%d/" % CLOSED_PORT,), 1, "trawler-capture: http://127.0.0.1"),
            ((good, self.server.url("/p5/nothing-here.html")), 1, "nothing-here.html"),
            (("--jobs", "0", good), 2, "--jobs takes"),
            (("--bogus", good), 2, "unknown option --bogus"),
            ((), 2, "no address"),
            (("--save", self.output("no-such-folder"), good), 2, "is not a folder"),
        )
        for arguments, expected, said in cases:
            code, _, errors = self.capture(*arguments)
            self.assertEqual(code, expected, (arguments, errors))
            self.assertIn(said, errors, arguments)
        help_text = subprocess.run([CAPTURE, "--help"], capture_output=True, text=True)
        self.assertEqual(help_text.returncode, 0)
        self.assertIn("Usage: trawler-capture", help_text.stdout)

    def test_a_reader_that_goes_away_and_an_output_that_cannot_be_written(self):
        phase = 6
        self.server.pages(phase)
        page = self.server.url("/p6/index.html")
        # `| head -n 1`: the first line is read, then the pipe closes; the run ends quietly.
        process = subprocess.Popen([CAPTURE, page], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=self.environment)
        first = process.stdout.readline()
        process.stdout.close()
        errors = process.stderr.read()
        process.stderr.close()
        self.assertEqual(process.wait(timeout=RUN_SECONDS), 0)
        self.assertEqual(json.loads(first)["fileName"], "index.html")
        self.assertEqual(errors, b"")
        # A HAR that cannot be made is said at once, and nothing is left half-written.
        missing = self.output("gone/out.har")
        code, rows, errors = self.capture("--har", missing, page)
        self.assertEqual((code, rows), (1, []))
        self.assertEqual(errors.count("\n"), 1)
        self.assertIn("cannot write " + missing, errors)
        har_path = self.output("whole.har")
        code, _, _ = self.capture("--har", har_path, page)
        self.assertEqual(code, 0)
        self.assertEqual([name for name in os.listdir(self.work) if ".part-" in name], [])
        # Outputs that are pipes (a FIFO, as a shell's process substitution gives) are
        # written into, and stay pipes: no plain file takes their place.
        pipes = [self.output("rows.pipe"), self.output("har.pipe")]
        heard = {}
        readers = []
        for pipe in pipes:
            os.mkfifo(pipe)
            readers.append(threading.Thread(target=lambda pipe=pipe: heard.update(
                {pipe: open(pipe, "rb").read()})))
            readers[-1].start()
        code, _, errors = self.capture("--jsonl", pipes[0], "--har", pipes[1], page)
        for reader in readers:
            reader.join(RUN_SECONDS)
        self.assertEqual((code, errors), (0, ""))
        self.assertIn(page, [json.loads(line)["url"] for line in heard[pipes[0]].splitlines()])
        self.assertIn(page, [entry["request"]["url"]
                             for entry in json.loads(heard[pipes[1]])["log"]["entries"]])
        self.assertTrue(all(stat.S_ISFIFO(os.stat(pipe).st_mode) for pipe in pipes))


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        CAPTURE = os.path.join(sys.argv.pop(1), "trawler-capture")
    unittest.main(verbosity=2)

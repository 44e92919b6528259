"""End-to-end tests of exact data and safe saves: the real trawler under the display against
the local site, what it lists and saves compared with what the server saw."""

import base64
import json
import os
import signal
import subprocess
import sys
import unittest

import desktop
import e2e_case
from e2e_case import EndToEndCase
from exact_pages import ZIPPED, exact_pages
from trawler_app import wait

HERE = os.path.dirname(os.path.abspath(__file__))
# The HAR schema's validator, which scripts/setup installs.
TOOLS = os.path.join(HERE, "..", "..", ".tools")
PHASE = 60


class ExactAndSafeTest(EndToEndCase):
    def setUp(self):
        super().setUp()
        self.server.pages(PHASE).update(exact_pages(PHASE, self.server.port, self.work))

    def url(self, name, host="127.0.0.1"):
        return "http://%s:%d/p%d/%s" % (host, self.server.port, PHASE, name)

    def path(self, name):
        return "/p%d/%s" % (PHASE, name)

    def visit(self, name, until, host="127.0.0.1"):
        """Starts a search of the page and waits until the rows hold what `until` wants."""
        self.assertEqual(self.app.start(self.url(name, host)), 1)
        self.assertTrue(self.server.wait_for(lambda: until(self.rows_by_url()), 30),
                        (self.rows_by_url().keys(), self.app.debug_output()))

    def rows_by_url(self):
        return {row["url"]: row for row in self.app.requests()}

    def ended(self, *names, host="127.0.0.1"):
        return lambda rows: all(rows.get(self.url(name, host), {}).get("duration", -1) >= 0
                                for name in names)

    def preview(self, row):
        """The preview of a row as the page hears it (the answer's message when refused)."""
        before = len(self.app.reports("preview"))
        answer = self.app.answer("preview", id=row["id"])
        if answer["returnValue"] != 1:
            return answer
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("preview")) > before, 20))
        return json.loads(self.app.reports("preview")[-1])

    def test_previews_are_the_bodies_the_page_received_or_say_why_not(self):
        self.visit("requests.html", lambda rows: [row for row in rows.values()
                                                  if row["method"] == "POST"
                                                  and row["duration"] >= 0])
        rows = self.rows_by_url()
        document = self.preview(rows[self.url("requests.html")])
        self.assertTrue(document["ok"], document)
        self.assertIn("fetch('/p%d/api'" % PHASE,
                      base64.b64decode(document["data"]).decode())
        # A fetch()'s body the engine did not keep: fetched once more as the page asked.
        listed = self.url("list[1]%7Ba%7D.json")
        asked = len(self.server.asked(self.path("list[1]%7Ba%7D.json")))
        fetched = self.preview(rows[listed])
        self.assertEqual(base64.b64decode(fetched["data"]), b'{"listed": true}')
        self.assertEqual((fetched["mimeType"], fetched["whole"]), ("application/json", True))
        self.assertEqual(len(self.server.asked(self.path("list[1]%7Ba%7D.json"))), asked + 1)
        # The POST's answer was not kept, and a GET would fetch another one.
        post = [row for row in rows.values() if row["method"] == "POST"][0]
        self.assertIn("POST", self.preview(post)["error"])

    def test_copied_curl_commands_make_the_pages_requests_again(self):
        self.visit("requests.html", lambda rows: [row for row in rows.values()
                                                  if row["method"] == "POST"
                                                  and row["duration"] >= 0])
        by_method = {(row["method"], row["url"].split("/")[-1]): row
                     for row in self.app.requests()}
        for method, name in (("GET", "list[1]%7Ba%7D.json"), ("HEAD", "api"), ("POST", "api")):
            row = by_method[(method, name)]
            path = row["url"][row["url"].index("/p%d" % PHASE):]
            page_request = [asked for asked in self.server.asked(path) if asked.method == method][0]
            before = len(self.app.reports("curl"))
            self.assertEqual(self.app.call("copyCurl", id=row["id"]), 1)
            self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("curl")) > before, 20))
            command = desktop.clipboard()
            self.assertTrue(command.startswith("curl --globoff"), command)
            # The command runs as it stands (a trailing comment says what is not known).
            ran = subprocess.run(["sh", "-c", command + "\n"], capture_output=True, timeout=30)
            self.assertEqual(ran.returncode, 0, (command, ran.stderr))
            again = self.server.asked(path)[-1]
            self.assertEqual(again.method, page_request.method, command)
            for field in ("Referer", "Cookie", "Content-Type", "Accept"):
                self.assertEqual(again.headers.get(field), page_request.headers.get(field),
                                 (field, command))
            if method == "POST":
                self.assertIn("# the body of the page's request is not known", command)
        # HAR holds the cookies each request carried, as the server saw them.
        har = os.path.join(self.work, "requests.har")
        self.save_list_through_dialog("har", har, [row["id"] for row in self.app.requests()])
        with open(har) as saved:
            entries = json.load(saved)["log"]["entries"]
        for entry in entries:
            path = entry["request"]["url"][entry["request"]["url"].index("/p%d" % PHASE):]
            asked = [request for request in self.server.asked(path)
                     if request.method == entry["request"]["method"]][0]
            sent = {field["name"]: field["value"] for field in entry["request"]["headers"]}
            self.assertEqual(sent.get("Cookie"), asked.headers.get("Cookie"), path)
            names = [cookie["name"] for cookie in entry["request"]["cookies"]]
            self.assertEqual(names, ["visit"] if asked.headers.get("Cookie") else [], path)

    def test_cancelled_loads_are_told_apart_from_failures(self):
        self.visit("cancels.html", lambda rows: rows.get(self.url("slow.bin"), {}).get("duration", -1) >= 0
                   and self.url("broken.js") in rows)
        self.server.release.set()
        self.assertTrue(self.server.wait_for(lambda: self.app.reports("loaded"), 30))
        rows = self.rows_by_url()
        self.assertTrue(rows[self.url("slow.bin")]["cancelled"], rows[self.url("slow.bin")])
        self.assertEqual(rows[self.url("slow.bin")]["error"], "")
        # WebKit lets go of a script it will not run: its status is what counts.
        self.assertEqual(rows[self.url("broken.js")]["status"], 500)
        # The video's range request, which the media player may let go, is no failure.
        self.assertEqual(rows[self.url("movie.mp4")]["error"], "", rows[self.url("movie.mp4")])
        load = json.loads(self.app.reports("loaded")[0])
        self.assertEqual(load["failed"], 1, load)
        self.assertGreaterEqual(load["cancelled"], 1, load)


    def test_a_cached_visit_says_where_each_response_came_from_and_har_agrees(self):
        self.visit("first.html", self.ended("fresh.png", "tagged.png"))
        images = lambda: [row for row in self.app.requests()
                          if row["url"] in (self.url("fresh.png"), self.url("tagged.png"))]
        self.visit("second.html", lambda rows: sum(row["duration"] >= 0 for row in images()) == 4)
        second = images()[2:]
        cache = {row["url"].split("/")[-1]: (row["status"], row["cache"]) for row in second}
        # The fresh copy came from the page's memory cache: the server saw it once; the
        # other was asked after and confirmed (304).
        self.assertEqual(cache, {"fresh.png": (200, "memory"), "tagged.png": (304, "revalidated")})
        self.assertEqual(len(self.server.asked(self.path("fresh.png"))), 1)
        self.assertEqual([entry.status for entry in self.server.logged()
                          if entry.path == self.path("tagged.png")], [200, 304])
        # HAR says the same, and validates.
        har = os.path.join(self.work, "cached.har")
        ids = [row["id"] for row in second]
        self.save_list_through_dialog("har", har, ids)
        checked = subprocess.run(["node", os.path.join(HERE, "validate_har.js"), TOOLS, har],
                                 capture_output=True, text=True, timeout=60)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        with open(har) as saved:
            entries = json.load(saved)["log"]["entries"]
        by_name = {entry["request"]["url"].split("/")[-1]: entry for entry in entries}
        self.assertEqual(by_name["fresh.png"]["_fromCache"], "memory")
        self.assertEqual(by_name["fresh.png"]["response"]["bodySize"], 0)
        self.assertEqual(by_name["tagged.png"]["response"]["status"], 304)
        self.assertEqual(by_name["tagged.png"]["response"]["bodySize"], 0)
        for entry in entries:
            timings = entry["timings"]
            self.assertAlmostEqual(entry["time"], timings["send"] + timings["wait"] + timings["receive"])

    def save_list_through_dialog(self, format, path, ids):
        """Saves the rows of the ids as HAR (or another list format) through the dialog."""
        known = {window for window, _, _ in desktop.windows(self.app.process.pid)}
        before = len(self.app.reports("saved"))
        self.assertEqual(self.app.call("save", format=format, ids=ids), 1)
        dialogs = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                           if window not in known]
        self.assertTrue(wait(dialogs, 20), self.app.debug_output())
        desktop.press_key_over(dialogs()[0], "ctrl+a")
        desktop.type_over(dialogs()[0], path)
        desktop.press_key_over(dialogs()[0], "Return")
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("saved")) > before, 30))
        self.assertTrue(json.loads(self.app.reports("saved")[-1])["ok"], self.app.reports("saved"))

    def test_saves_send_what_the_pages_own_requests_sent(self):
        # Cookies of localhost, each SameSite kind, set by pages of its own.
        for name in ("set-cookies.html", "set-more.html", "set-plain.html"):
            self.visit(name, self.ended(name, host="localhost"), host="localhost")
        self.visit("policy.html?token=t0k3n", lambda rows: all(
            rows.get(address, {}).get("duration", -1) >= 0 for address in
            (self.url("far.png", "localhost"), self.url("far_0.ts", "localhost"),
             self.url("near.png"))))
        rows = self.rows_by_url()
        page_request = lambda path: self.server.asked(path)[0]
        # The row's own file: the Referer and cookies its request carried, no more.
        far = rows[self.url("far.png", "localhost")]
        progress = self.save_through_dialog("saveFile", "Save the file",
                                            os.path.join(self.work, "far.png"), id=far["id"])
        self.assertEqual(progress[-1]["state"], "done", progress)
        sent = self.server.asked(self.path("far.png"))
        self.assertEqual(len(sent), 2)
        for field in ("Referer", "Cookie"):
            self.assertEqual(sent[1].headers.get(field), sent[0].headers.get(field), field)
        self.assertNotIn("t0k3n", sent[1].headers.get("Referer", ""))
        self.assertNotIn("strict=1", sent[1].headers.get("Cookie", ""))
        # The stream's segments: what the page's own request of a segment carried.
        playlist = rows[self.url("far.m3u8", "localhost")]
        progress = self.save_through_dialog("savePlaylist", "Save the stream as one file",
                                            os.path.join(self.work, "far.ts"), id=playlist["id"])
        self.assertEqual(progress[-1]["state"], "done", progress)
        segment = self.server.asked(self.path("far_0.ts"))
        self.assertEqual(len(segment), 2)
        for field in ("Referer", "Cookie"):
            self.assertEqual(segment[1].headers.get(field), segment[0].headers.get(field), field)
        with open(os.path.join(self.work, "far.ts"), "rb") as joined:
            self.assertEqual(joined.read(), b"G" * 188 + b"H" * 188)
        self.assertIsNotNone(page_request(self.path("near.png")))

    def test_a_stream_of_byte_ranges_is_saved_exactly(self):
        self.visit("single.html", self.ended("single/index.m3u8"))
        row = self.rows_by_url()[self.url("single/index.m3u8")]
        self.assertTrue(self.server.wait_for(lambda: self.rows_by_url()[self.url(
            "single/index.m3u8")].get("playlist"), 20))
        joined = os.path.join(self.work, "single.ts")
        progress = self.save_through_dialog("savePlaylist", "Save the stream as one file", joined,
                                            id=row["id"])
        self.assertEqual(progress[-1]["state"], "done", progress)
        with open(joined, "rb") as saved:
            self.assertEqual(saved.read(), self.server.pages(PHASE)["/single/index.ts"].body)
        ranges = [asked.headers.get("Range") for asked in self.server.asked(self.path("single/index.ts"))]
        self.assertEqual(len(ranges), 3)
        self.assertTrue(all(value and value.startswith("bytes=") for value in ranges), ranges)

    def test_a_page_gets_twenty_windows_and_the_rest_are_listed_as_blocked(self):
        self.visit("storm.html", lambda rows: sum(row.get("blocked", False)
                                                  for row in rows.values()) == 80)
        # The page hears the count after each blocked row.
        self.assertTrue(self.server.wait_for(lambda: self.app.reports("blocked") and json.loads(
            self.app.reports("blocked")[-1])["blocked"] == 80, 10), self.app.reports("blocked"))
        self.assertTrue(wait(lambda: len(desktop.windows(self.app.process.pid)) == 22, 30),
                        len(desktop.windows(self.app.process.pid)))
        # Allowed, the next one opens.
        self.assertEqual(self.app.call("allowWindows"), 1)

    def test_a_page_nobody_vouches_for_says_so_and_its_files_save(self):
        secure = "https://127.0.0.1:%d/p%d/near.png" % (self.server.tls_port, PHASE)
        page = "https://127.0.0.1:%d/p%d/policy.html" % (self.server.tls_port, PHASE)
        self.assertEqual(self.app.start(page), 1)
        self.assertTrue(self.server.wait_for(lambda: self.app.reports("loaded"), 30))
        self.assertTrue(json.loads(self.app.reports("loaded")[-1])["untrustedCertificate"])
        self.assertTrue(self.server.wait_for(lambda: self.rows_by_url().get(
            secure, {}).get("untrustedCertificate"), 20), self.rows_by_url().get(secure))
        saved = os.path.join(self.work, "near.png")
        progress = self.save_through_dialog("saveFile", "Save the file", saved,
                                            id=self.rows_by_url()[secure]["id"])
        self.assertEqual(progress[-1]["state"], "done", progress)
        with open(saved, "rb") as data:
            self.assertEqual(data.read(), self.server.pages(PHASE)["/near.png"].body)

    def test_a_save_is_whole_or_says_why_not(self):
        self.visit("files.html", lambda rows: all(
            self.url(name) in rows for name in ("cut-chunked.bin", "cut-short.bin", "zipped.txt")))
        rows = self.rows_by_url()
        for name in ("cut-chunked.bin", "cut-short.bin"):
            path = os.path.join(self.work, name)
            progress = self.save_through_dialog("saveFile", "Save the file", path,
                                                id=rows[self.url(name)]["id"])
            self.assertEqual(progress[-1]["state"], "failed", (name, progress))
            self.assertFalse(os.path.exists(path), name)
        # A compressed answer saves its content, and its progress knows no total it has not.
        path = os.path.join(self.work, "zipped.txt")
        progress = self.save_through_dialog("saveFile", "Save the file", path,
                                            id=rows[self.url("zipped.txt")]["id"])
        self.assertEqual(progress[-1]["state"], "done", progress)
        with open(path, "rb") as saved:
            self.assertEqual(saved.read(), ZIPPED)
        self.assertTrue(all(step["total"] in (-1, len(ZIPPED)) for step in progress), progress)
        self.assertEqual(progress[-1]["bytes"], len(ZIPPED))

    def test_ending_trawler_mid_save_leaves_no_partial_file(self):
        self.visit("requests.html", lambda rows: True)
        self.assertEqual(self.app.start(self.url("held.bin")), 1)
        self.assertTrue(self.server.wait_for(lambda: self.url("held.bin") in self.rows_by_url(), 20))
        held = self.rows_by_url()[self.url("held.bin")]
        known = {window for window, _, _ in desktop.windows(self.app.process.pid)}
        before = len(self.app.reports("progress"))
        self.assertEqual(self.app.call("saveFile", id=held["id"]), 1)
        dialogs = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                           if window not in known]
        self.assertTrue(wait(dialogs, 20))
        desktop.press_key_over(dialogs()[0], "ctrl+a")
        desktop.type_over(dialogs()[0], os.path.join(self.work, "held.bin"))
        desktop.press_key_over(dialogs()[0], "Return")
        progress = lambda: [json.loads(text) for text in self.app.reports("progress")[before:]]
        self.assertTrue(self.server.wait_for(lambda: any(p["bytes"] > 0 for p in progress()), 30))
        partials = lambda: [name for name in os.listdir(self.work) if name.startswith("held.bin")]
        self.assertEqual(len(partials()), 1, partials())
        self.app.process.send_signal(signal.SIGTERM)
        self.assertIsNotNone(self.app.wait_exit(20))
        self.assertEqual(partials(), [])


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        e2e_case.BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)

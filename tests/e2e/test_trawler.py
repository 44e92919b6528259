"""End-to-end tests: the real trawler under the display, capturing a local site."""

import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

import desktop
import e2e_case
from filter_cases import FILTER_CASES
from media_streams import SECONDS, frame_digests, media_pages, probe
from e2e_case import EndToEndCase
from local_site import (BIG_URL_LENGTH, CACHE_HEADERS, CLOSED_PORT, STREAM_COUNT, SiteServer,
                        stream_pages)
from trawler_app import ACCENT, Trawler, first_window, finder_file_name, finder_size, wait

HERE = os.path.dirname(os.path.abspath(__file__))
# The HAR schema's validator, which scripts/setup installs.
TOOLS = os.path.join(HERE, "..", "..", ".tools")
DATA_URL = "data:text/html,<b onmouseover=\"alert(1)\">'q'</b>"


class EndToEndTest(EndToEndCase):
    def expected_rows(self, phase):
        """The row of every response the site sent for the phase (redirects end in their
        target, so they are no rows of their own)."""
        rows = []
        for path, status, content_type, has_length, length, _ in self.server.logged():
            if not path.startswith("/p%d/" % phase) or 300 <= status < 400:
                continue
            url = self.server.url(path)
            rows.append({"url": url, "fileName": finder_file_name(url), "mimeType": content_type,
                         "size": finder_size(length) if has_length else "unknown"})
        return rows

    def load_site(self, phase, **filters):
        self.assertEqual(self.app.start(self.server.url("/p%d/index.html" % phase), **filters), 1)
        # The page opens its popups after 300 ms; their images are the last to come.
        popups = ("/p%d/popup-open.png" % phase, "/p%d/popup-link.png" % phase)
        self.assertTrue(self.server.wait_for(lambda: sum(
            entry[0] in popups for entry in self.server.log) == 2), self.app.debug_output())

    def stream_urls(self, phase):
        """The URL of every response of the phase's stream page."""
        return [self.server.url("/p%d/stream.html" % phase)] + [
            self.server.url("/p%d/s/%d.png" % (phase, i)) for i in range(STREAM_COUNT)]

    def stream_served(self, phase):
        prefix = "/p%d/s/" % phase
        return sum(entry.path.startswith(prefix) for entry in self.server.log) == STREAM_COUNT

    def test_every_response_is_listed_once_with_the_finders_fields(self):
        self.load_site(1)
        expected = self.expected_rows(1)
        expected.append({"url": DATA_URL, "fileName": finder_file_name(DATA_URL),
                         "mimeType": "text/html", "size": "unknown"})
        self.assertTrue(self.wait_rows(len(expected)), self.app.debug_output())
        rows = self.settled_rows(1)
        by_url = lambda row: row["url"]
        self.assertEqual(sorted(map(by_url, rows)), sorted(map(by_url, expected)))
        data_row = [row for row in rows if row["url"] == DATA_URL][0]
        self.assertEqual(data_row["mimeType"], "text/html")
        expected[-1]["size"] = data_row["size"]  # what WebKit knows of a data: URL
        for row in expected:
            self.assertIn(row, rows)
        # The cases that matter most, spelled out.
        self.assertIn({"url": self.server.url("/p1/media/stream.mp4"), "fileName": "stream.mp4",
                       "mimeType": "video/mp4", "size": "unknown"}, rows)
        self.assertIn({"url": self.server.url("/p1/media/clip.mp4"), "fileName": "clip.mp4",
                       "mimeType": "video/mp4", "size": "2MB"}, rows)
        self.assertIn({"url": self.server.url("/p1/img/pic.png"), "fileName": "pic.png",
                       "mimeType": "image/png", "size": "1.50KB"}, rows)
        urls = set(map(by_url, rows))
        self.assertIn(self.server.url("/p1/redirected.png"), urls)
        self.assertNotIn(self.server.url("/p1/redirect"), urls)
        self.assertIn(self.server.url("/p1/missing.js"), urls)

    def test_filters_select_by_mime_type_and_by_extension(self):
        for phase, (chosen, selects, sentinel) in enumerate(FILTER_CASES, 2):
            filters = dict(filter_enabled=True, **chosen)
            before = len(self.app.rows())
            self.load_site(phase, **filters)
            wanted = [row for row in self.expected_rows(phase) if selects(row)]
            self.assertTrue(self.wait_rows(before + len(wanted)))
            self.assertEqual(sorted(row["url"] for row in
                                    self.settled_rows(phase, sentinel, **filters)[before:]),
                             sorted(row["url"] for row in wanted), chosen)

    def test_nothing_is_listed_while_paused_or_stopped(self):
        self.assertEqual(self.app.start(self.server.url("/p4/ticker.html"), filter_enabled=True,
                                        mime="image"), 1)
        tick = lambda n: self.server.url("/p4/tick/%d.png" % n)
        served = lambda n: any(entry[0] == "/p4/tick/%d.png" % n for entry in self.server.log)
        listed = lambda: [row["url"] for row in self.app.rows()]
        # A tick that is not listed would come before the next one listed.
        steps = [(None, 1, True), ("pause", 2, False), ("pause", 3, True), ("stop", 4, False)]
        for method, n, shown in steps:
            if method:
                self.assertEqual(self.app.call(method), 1)
            self.server.ticks.put(n)
            self.assertTrue(self.server.wait_for(lambda: served(n)), "tick %d never loaded" % n)
            if shown:
                self.assertTrue(self.server.wait_for(lambda: tick(n) in listed()))
        self.assertEqual(self.settled_rows(4, "sentinel.png", filter_enabled=True, mime="image"),
                         [row for row in self.app.rows() if row["url"] in (tick(1), tick(3))])

    def test_an_address_without_a_scheme_is_normalised_for_the_page(self):
        address = "127.0.0.1:%d/p5/data.json" % self.server.port
        self.assertEqual(self.app.start(address), 1)
        self.assertTrue(self.server.wait_for(lambda: self.app.reports("updateInputUrl")))
        self.assertEqual(self.app.reports("updateInputUrl"), ["http://" + address])
        self.assertTrue(self.wait_rows(1))
        self.assertEqual(self.app.rows()[0]["url"], "http://" + address)

    def test_the_ui_pages_own_new_window_link_goes_to_the_default_browser(self):
        self.app.send({"kind": "click"})
        self.assertTrue(wait(lambda: os.path.exists(self.app.opened)), self.app.debug_output())
        with open(self.app.opened) as opened:
            self.assertEqual(opened.read(),
                             "http://127.0.0.1:%d/elsewhere.html" % self.server.control_port)

    def test_copied_urls_reach_the_clipboard(self):
        for url in ("http://h.test/a?b=1", "http://h.test/caf\u00e9/\u00fc"):
            self.assertEqual(self.app.call("copyURL", url=url), 1)
            self.assertEqual(desktop.clipboard(), url)
        self.assertEqual(self.app.call("copyURL", url=""), 0)

    def test_an_alert_is_answered_with_a_key(self):
        known = {window for window, x, y in desktop.windows(self.app.process.pid)}
        self.app.send({"kind": "alert", "text": "Hello <b>there</b>"})
        dialogs = lambda: [window for window, x, y in desktop.windows(self.app.process.pid)
                           if window not in known]
        self.assertTrue(wait(dialogs), "no dialog came")
        # A dialog just mapped may not take keys yet: Return again until it has closed.
        answered = lambda: self.app.reports("alerted")
        for _ in range(10):
            if answered() or not dialogs():
                break
            desktop.press_key_over(dialogs()[0], "Return")
            self.server.wait_for(answered, 1)
        self.assertTrue(self.server.wait_for(answered))

    def test_a_crashed_browsing_web_process_leaves_trawler_working(self):
        self.load_site(6)
        processes = self.app.web_processes()
        browsing = [pid for pid, has_agent in processes if not has_agent]
        self.assertTrue(browsing and any(has_agent for pid, has_agent in processes), processes)
        for pid in browsing:
            os.kill(pid, signal.SIGKILL)
        self.assertTrue(wait(lambda: "web process of" in self.app.debug_output()))
        before = len(self.app.rows())
        self.assertEqual(self.app.start(self.server.url("/p7/data.json")), 1)
        self.assertTrue(self.server.wait_for(lambda: any(
            row["url"].endswith("/p7/data.json") for row in self.app.rows())))
        self.assertGreater(len(self.app.rows()), before)

    def test_a_crashed_ui_page_comes_back_with_its_service(self):
        ui_pages = [pid for pid, has_agent in self.app.web_processes() if has_agent]
        self.assertEqual(len(ui_pages), 1)
        os.kill(ui_pages[0], signal.SIGKILL)
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("ready")) == 2),
                        self.app.debug_output())
        self.assertEqual(self.app.reports("ready"), ["object", "object"])
        self.assertEqual(self.app.start(self.server.url("/p9/data.json")), 1)
        self.assertTrue(self.wait_rows(1))

    def test_a_ui_page_killed_twice_comes_back_with_every_row(self):
        self.assertEqual(self.app.start(self.server.url("/p16/stream.html")), 1)
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("row")) >= 20))
        for ready in (2, 3):
            self.assertTrue(wait(self.app.ui_page_process, 20))
            os.kill(self.app.ui_page_process(), signal.SIGKILL)
            self.assertTrue(self.server.wait_for(
                lambda: len(self.app.reports("ready")) == ready, 30), self.app.debug_output())
        # The page that came back has every row of the search, those of its downtime too.
        expected = set(self.stream_urls(16))
        self.assertTrue(self.server.wait_for(lambda: expected <= {
            row["url"] for row in self.app.rows_since_last_ready()}, 60), self.app.debug_output())
        self.assertEqual(len(self.app.rows_since_last_ready()), len(expected))

    def test_a_broken_link_to_the_ui_page_is_made_again_and_the_page_gets_every_row(self):
        self.assertEqual(self.app.start(self.server.url("/p18/stream.html")), 1)
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("row")) >= 20))
        self.assertEqual(self.app.cut_agent_links(), 1)
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("ready")) == 2, 30),
                        self.app.debug_output())
        expected = set(self.stream_urls(18))
        self.assertTrue(self.server.wait_for(lambda: expected <= {
            row["url"] for row in self.app.rows_since_last_ready()}, 60), self.app.debug_output())
        self.assertEqual(self.app.call("copyURL", url="linked again"), 1)

    def test_a_stopped_ui_page_stops_neither_trawler_nor_its_rows(self):
        self.assertEqual(self.app.call("copyURL", url="Trawler answers"), 1)
        ui_page = self.app.ui_page_process()
        ui_window = desktop.windows(self.app.process.pid)[0][0]
        self.assertEqual(self.app.start(self.server.url("/p13/stream.html")), 1)
        os.kill(ui_page, signal.SIGSTOP)
        try:
            # Trawler serves the desktop meanwhile: the clipboard's text is its own.
            self.assertEqual(desktop.clipboard(), "Trawler answers")
            self.assertTrue(self.server.wait_for(lambda: self.stream_served(13), 30))
            self.assertEqual(desktop.clipboard(), "Trawler answers")
        finally:
            os.kill(ui_page, signal.SIGCONT)
        expected = set(self.stream_urls(13))
        self.assertTrue(self.server.wait_for(
            lambda: expected <= {row["url"] for row in self.app.rows()}, 30),
            self.app.debug_output())
        # Closing while the page is stopped ends Trawler as always.
        os.kill(ui_page, signal.SIGSTOP)
        try:
            desktop.request_close(ui_window)
            self.assertEqual(self.app.wait_exit(10), 0, self.app.debug_output())
        finally:
            os.kill(ui_page, signal.SIGKILL)

    def test_a_fifty_million_character_url_is_one_row_and_later_rows_follow(self):
        self.assertEqual(self.app.start(self.server.url("/p15/big.html")), 1)
        after = self.server.url("/p15/after-big.json")
        self.assertTrue(self.server.wait_for(
            lambda: any(after in row for row in self.app.reports("row")), 120),
            self.app.debug_output())
        # The row carries the address's start and its whole length; native code keeps it all.
        big = [row for row in self.app.requests() if row["url"].startswith("data:")]
        self.assertEqual([(len(row["url"]), row["urlLength"]) for row in big],
                         [(64 * 1024, BIG_URL_LENGTH)])
        self.assertEqual(self.app.call("copyURL", url="after the big one"), 1)
        self.assertEqual(desktop.clipboard(), "after the big one")

    def test_idle_connections_to_the_agent_socket_are_closed_and_searches_go_on(self):
        path = self.app.agent_socket()
        self.assertIsNotNone(path)
        idle = []
        for _ in range(40):
            connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            connection.settimeout(2)
            try:
                connection.connect(path)
                idle.append(connection)
            except OSError:
                connection.close()
        self.assertTrue(idle)
        # Trawler closes each: at once past those it lets wait for a token, the rest when
        # their time for the token is up.
        deadline = time.monotonic() + 20

        def closed(connection):
            try:
                connection.settimeout(max(0.1, deadline - time.monotonic()))
                return connection.recv(1) == b""
            except OSError:
                return False

        self.assertEqual([closed(connection) for connection in idle], [True] * len(idle))
        for connection in idle:
            connection.close()
        self.assertEqual(self.app.start(self.server.url("/p17/data.json")), 1)
        self.assertTrue(self.server.wait_for(lambda: any(
            row["url"].endswith("/p17/data.json") for row in self.app.rows())))

    def test_an_untrusted_certificate_and_a_refused_connection_are_no_failures(self):
        self.assertEqual(self.app.start("http://127.0.0.1:1/refused"), 1)
        secure = "https://127.0.0.1:%d/p12/data.json" % self.server.tls_port
        self.assertEqual(self.app.start(secure), 1)
        self.assertTrue(self.server.wait_for(
            lambda: any(secure in row for row in self.app.reports("row"))), self.app.debug_output())
        self.assertIsNone(self.app.process.poll())

    def rows_after(self, before, count, last):
        """The rows from the before-th on, once the row of the URL that comes last is there."""
        self.assertTrue(self.server.wait_for(lambda: last in [
            row["url"] for row in self.app.rows()[before:]]), self.app.debug_output())
        rows = self.app.rows()[before:]
        self.assertEqual(len(rows), count, rows)
        return sorted(rows, key=lambda row: row["url"])

    def test_repeat_visits_list_every_resource_with_what_the_page_received(self):
        url = self.server.url("/p20/cache.html")
        loaded = self.server.url("/p20/cache/loaded.txt")
        count = 2 + len(CACHE_HEADERS)
        self.assertEqual(self.app.start(url), 1)
        first = self.rows_after(0, count, loaded)
        self.assertTrue(self.server.wait_for(
            lambda: "/p20/cache/loaded.txt" in [entry.path for entry in self.server.log]))
        self.assertEqual(first, sorted(self.expected_rows(20), key=lambda row: row["url"]))
        # From the memory cache and by revalidation in the same web process, then from a web
        # process that starts empty (the page is loaded again when its process dies).
        self.assertEqual(self.app.start(url), 1)
        self.assertEqual(self.rows_after(count, count, loaded), first)
        self.assertIn(304, [entry.status for entry in self.server.logged()])
        # A revalidated row says it came from the cache.
        self.assertTrue(self.server.wait_for(lambda: [
            row for row in self.app.requests()[count:] if row["fromCache"]]),
            self.app.requests()[count:])
        for pid in self.app.browsing_processes():
            os.kill(pid, signal.SIGKILL)
        self.assertEqual(self.rows_after(2 * count, count, loaded), first)

    def test_every_request_shows_its_outcome_and_the_page_its_load(self):
        self.assertEqual(self.app.start(self.server.url("/p40/outcomes.html")), 1)
        ended = lambda: {row["url"]: row for row in self.app.requests() if row["duration"] >= 0}
        self.assertTrue(self.server.wait_for(lambda: len(ended()) == 7, 30), ended())
        rows = ended()
        outcome = lambda url: (rows[url]["method"], rows[url]["status"], rows[url]["redirects"])
        site = self.server.url
        self.assertEqual([outcome(site("/p40/" + name)) for name in (
            "outcomes.html", "missing.png", "broken.json", "final.json", "beacon")],
            [("GET", 200, 0), ("GET", 404, 0), ("GET", 500, 0), ("GET", 200, 2),
             ("POST", 200, 0)])
        self.assertEqual(rows[site("/p40/missing.png")]["statusText"], "Not Found")
        refused = rows["http://127.0.0.1:%d/refused.png" % CLOSED_PORT]
        unresolved = rows["http://nohost.invalid/unresolved.png"]
        self.assertEqual((refused["status"], refused["mimeType"], refused["size"]), (0, "", "unknown"))
        self.assertIn("refused", refused["error"].lower())
        self.assertIn("nohost.invalid", unresolved["error"])
        details = self.app.answer("details", id=rows[site("/p40/final.json")]["id"])["details"]
        self.assertEqual([(hop["status"], hop["url"], hop["location"])
                          for hop in details["redirectChain"]],
                         [(301, site("/p40/hop1"), "/p40/hop2"),
                          (302, site("/p40/hop2"), "/p40/final.json")])
        self.assertIn("Content-Type", [field["name"] for field in details["responseHeaders"]])
        loaded = json.loads(self.app.reports("loaded")[0])
        self.assertEqual((loaded["ok"], loaded["url"]), (True, site("/p40/outcomes.html")))
        # A page that cannot be loaded says why, and is its own row.
        before = len(self.app.reports("loaded"))
        closed = "http://127.0.0.1:%d/" % CLOSED_PORT
        self.assertEqual(self.app.start(closed), 1)
        self.assertTrue(self.server.wait_for(lambda: len(self.app.reports("loaded")) > before))
        loaded = json.loads(self.app.reports("loaded")[before])
        self.assertEqual((loaded["ok"], loaded["url"]), (False, closed))
        self.assertIn("refused", loaded["error"].lower())
        self.assertTrue(self.server.wait_for(lambda: closed in ended()), self.app.requests())
        self.assertNotIn("about:blank", [row["url"] for row in self.app.requests()])

    def test_the_list_saved_as_har_through_the_dialog_is_valid_and_complete(self):
        self.assertEqual(self.app.start(self.server.url("/p42/outcomes.html")), 1)
        ended = lambda: [row for row in self.app.requests() if row["duration"] >= 0]
        self.assertTrue(self.server.wait_for(lambda: len(ended()) == 7, 30), self.app.requests())
        rows = self.app.requests()
        known = {window for window, _, _ in desktop.windows(self.app.process.pid)}
        self.assertEqual(self.app.call("save", format="har", ids=[row["id"] for row in rows]), 1)
        dialogs = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                           if window not in known and desktop.title(window) == "Save as HAR"]
        self.assertTrue(wait(dialogs, 20), self.app.debug_output())
        path = os.path.join(self.work, "saved list.har")
        # The file chooser's name field has the focus: a whole path goes there.
        desktop.press_key_over(dialogs()[0], "ctrl+a")
        desktop.type_over(dialogs()[0], path)
        desktop.press_key_over(dialogs()[0], "Return")
        self.assertTrue(self.server.wait_for(lambda: self.app.reports("saved"), 20))
        saved = json.loads(self.app.reports("saved")[0])
        self.assertEqual((saved["ok"], saved["path"]), (True, path), saved)
        checked = subprocess.run(["node", os.path.join(HERE, "validate_har.js"), TOOLS, path],
                                 capture_output=True, text=True, timeout=60)
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        with open(path, encoding="utf-8") as text:
            log = json.load(text)["log"]
        # Every row is an entry, each redirect hop one before its row's.
        entries = [(entry["request"]["method"], entry["request"]["url"],
                    entry["response"]["status"]) for entry in log["entries"]]
        expected = []
        for row in rows:
            if row["redirects"]:
                expected += [("GET", self.server.url("/p42/hop1"), 301),
                             ("GET", self.server.url("/p42/hop2"), 302)]
            expected.append((row["method"], row["url"], row["status"]))
        self.assertEqual(entries, expected)
        failed = [entry for entry in log["entries"] if entry["response"]["status"] == 0]
        self.assertEqual(len(failed), 2)
        self.assertTrue(all(entry["_error"] for entry in failed))
        self.assertEqual([page["title"] for page in log["pages"]],
                         [self.server.url("/p42/outcomes.html")])
        for entry in log["entries"]:
            self.assertEqual(entry["pageref"], log["pages"][0]["id"])
            self.assertGreaterEqual(entry["time"], 0)
        served = [entry for entry in log["entries"]
                  if entry["request"]["url"] == self.server.url("/p42/broken.json")][0]
        self.assertIn(("Content-Type", "application/json"),
                      [(field["name"], field["value"]) for field in served["response"]["headers"]])
        self.assertIn("User-Agent", [field["name"] for field in served["request"]["headers"]])

    def test_a_request_copied_as_curl_fetches_the_same_bytes_with_the_pages_session(self):
        image = self.server.url("/p43/private.png")
        self.assertEqual(self.app.start(self.server.url("/p43/cookie.html")), 1)
        rows = lambda: [row for row in self.app.requests() if row["url"] == image]
        self.assertTrue(self.server.wait_for(rows, 20), self.app.requests())
        self.assertEqual(rows()[0]["status"], 200)
        self.assertEqual(self.app.call("copyCurl", id=rows()[0]["id"]), 1)
        self.assertTrue(self.server.wait_for(lambda: self.app.reports("curl"), 20))
        self.assertEqual(json.loads(self.app.reports("curl")[0])["ok"], True)
        command = desktop.clipboard()
        self.assertTrue(command.startswith("curl --globoff '%s'" % image), command)
        fetched = subprocess.run(["sh", "-c", command + " --silent --fail"], capture_output=True,
                                 timeout=30)
        self.assertEqual(fetched.returncode, 0, command)
        self.assertEqual(fetched.stdout, self.server.pages(43)["/private.png"].body)
        # Without the session the server says no.
        bare = subprocess.run(["curl", "--silent", "--fail", image], capture_output=True,
                              timeout=30)
        self.assertNotEqual(bare.returncode, 0)

    def test_a_page_reads_neither_local_files_nor_other_origins(self):
        secret = os.path.join(self.work, "secret.txt")
        with open(secret, "w") as out:
            out.write("the user's secret")
        query = urllib.parse.urlencode({
            "file": "file://" + secret,
            "origin": "http://127.0.0.1:%d/p21/secret.json" % self.server.control_port})
        page = self.server.url("/p21/leak.html?" + query)
        self.assertEqual(self.app.start(page), 1)
        told = lambda: [urllib.parse.unquote(entry.path) for entry in self.server.logged()
                        if "/told/" in entry.path]
        self.assertTrue(self.server.wait_for(lambda: len(told()) == 4), told())
        self.assertFalse([text for text in told() if "secret" in text], told())
        urls = [row["url"] for row in self.app.rows()]
        self.assertIn(page, urls)
        self.assertFalse([url for url in urls if url.startswith("file:")], urls)

    def test_an_attachment_is_listed_and_never_saved(self):
        # In a frame of a page, and as the page itself.
        attachments = [self.server.url("/p22/files/" + name) for name in (".bashrc", "evil.desktop")]
        for start, attachment in zip(("/p22/attachment.html", attachments[1]), attachments):
            self.assertEqual(self.app.start(self.server.url(start)), 1)
            self.assertTrue(self.server.wait_for(
                lambda: attachment in [row["url"] for row in self.app.rows()]))
            self.assertTrue(wait(lambda: "not saving " + attachment in self.app.debug_output()),
                            self.app.debug_output())
        saved = [name for folder, _, names in os.walk(self.work) for name in names
                 if "bashrc" in name or "evil" in name]
        self.assertEqual(saved, [])

    def test_media_elements_give_one_row_per_response(self):
        self.assertEqual(self.app.start(self.server.url("/p23/media.html")), 1)
        media = lambda: [entry for entry in self.server.logged() if "/media/" in entry.path]
        self.assertTrue(self.server.wait_for(lambda: {entry.path for entry in media()} == {
            "/p23/media/sound.mp3", "/p23/media/movie.mp4"}), self.app.debug_output())
        expected = lambda: sorted((self.server.url(entry.path), entry.content_type,
                                   finder_size(entry.length)) for entry in media())
        listed = lambda: sorted((row["url"], row["mimeType"], row["size"])
                                for row in self.app.rows() if "/media/" in row["url"])
        self.assertTrue(self.server.wait_for(lambda: listed() == expected()), (listed(), expected()))
        self.assertEqual(listed(), expected())

    def play_stream(self, phase):
        """Loads the phase's stream page and waits until its player is done; the rows by
        address, as their last updates left them."""
        self.server.pages(phase).update(stream_pages(phase, self.work))
        self.assertEqual(self.app.start(self.server.url("/p%d/hls.html" % phase)), 1)
        last = [self.server.url("/p%d/hls/%s.m3u8" % (phase, name))
                for name in ("locked", "drm", "broken")]
        by_url = lambda: {row["url"]: row for row in self.app.requests()}
        read = lambda: all(by_url().get(address, {}).get("playlist") for address in last)
        self.assertTrue(self.server.wait_for(read, 30), self.app.debug_output())
        return by_url

    def test_playlists_are_read_and_their_segments_folded_under_them(self):
        by_url = self.play_stream(51)
        url = lambda path: self.server.url("/p51/hls/" + path)
        low = url("low/index.m3u8")
        segments = [url("low/seg_%d.ts" % i) for i in range(3)]
        # The low variant came by fetch(), which WebKit keeps no copy of: it is read again.
        done = lambda: all(by_url().get(address, {}).get("parent") for address in segments) and \
            by_url().get(low, {}).get("playlist")
        self.assertTrue(self.server.wait_for(done, 30), by_url())
        rows = by_url()
        master = rows[url("master.m3u8")]["playlist"]
        self.assertEqual(master["kind"], "hls-master")
        self.assertEqual([(variant["resolution"], variant["bandwidth"], variant["url"])
                          for variant in master["variants"]],
                         [("160x120", 300000, low), ("320x240", 900000, url("high/index.m3u8"))])
        media = rows[low]["playlist"]
        self.assertEqual((media["kind"], media["segments"], media["encryption"]),
                         ("hls-media", 3, ""))
        self.assertAlmostEqual(media["duration"], 6.0, delta=0.5)
        self.assertEqual({rows[address]["parent"] for address in segments}, {rows[low]["id"]})
        self.assertEqual(rows[url("locked.m3u8")]["playlist"]["encryption"], "AES-128")
        drm = rows[url("drm.m3u8")]
        self.assertEqual(drm["playlist"]["encryption"], "SAMPLE-AES")
        answer = self.app.answer("savePlaylist", id=drm["id"], variant=0)
        self.assertEqual(answer["returnValue"], 0)
        self.assertIn("DRM", answer["message"])
        self.assertTrue(rows[url("broken.m3u8")]["playlist"]["note"])
        # Rows that are no playlists have none, and Trawler still answers.
        self.assertNotIn("playlist", rows[url("poster.png")])
        self.assertEqual(self.app.call("stop"), 1)

    def test_saves_fetch_with_the_pages_session_and_a_cancelled_one_leaves_nothing(self):
        by_url = self.play_stream(52)
        rows = by_url()
        master = rows[self.server.url("/p52/hls/master.m3u8")]
        # The high variant is served only with the page's cookie and Referer.
        joined = os.path.join(self.work, "stream.ts")
        progress = self.save_through_dialog("savePlaylist", "Save the stream as one file", joined,
                                            id=master["id"], variant=1)
        self.assertEqual((progress[-1]["state"], progress[-1]["path"]), ("done", joined), progress)
        self.assertEqual(progress[-1]["items"], 3)
        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-show_format", "-show_streams", "-of", "json", joined],
            capture_output=True, text=True, check=True, timeout=60).stdout)
        self.assertEqual(probe["format"]["format_name"], "mpegts")
        self.assertEqual([stream["width"] for stream in probe["streams"]], [320])
        self.assertAlmostEqual(float(probe["format"]["duration"]), 6.0, delta=2.0)
        image = rows[self.server.url("/p52/hls/poster.png")]
        saved = os.path.join(self.work, "poster.png")
        progress = self.save_through_dialog("saveFile", "Save the file", saved, id=image["id"])
        self.assertEqual(progress[-1]["state"], "done", progress)
        with open(saved, "rb") as data:
            self.assertEqual(data.read(), self.server.pages(52)["/hls/poster.png"].body)
        # A file whose second half waits (Page.held), cancelled while it comes.
        self.assertEqual(self.app.call("start", url=self.server.url("/p52/big.bin"),
                                       filterEnabled=False, useFileExtFilter=False,
                                       fileExtFilter="", mimeFilter=""), 1)
        big = self.server.url("/p52/big.bin")
        self.assertTrue(self.server.wait_for(lambda: big in by_url(), 30))
        known = {window for window, _, _ in desktop.windows(self.app.process.pid)}
        before = len(self.app.reports("progress"))
        self.assertEqual(self.app.call("saveFile", id=by_url()[big]["id"]), 1)
        dialogs = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                           if window not in known and desktop.title(window) == "Save the file"]
        self.assertTrue(wait(dialogs, 20))
        cancelled = os.path.join(self.work, "big.bin")
        desktop.press_key_over(dialogs()[0], "ctrl+a")
        desktop.type_over(dialogs()[0], cancelled)
        desktop.press_key_over(dialogs()[0], "Return")
        progress = lambda: [json.loads(text) for text in self.app.reports("progress")[before:]]
        self.assertTrue(self.server.wait_for(lambda: any(p["bytes"] > 0 for p in progress()), 30))
        self.assertEqual(self.app.call("cancelSave", job=progress()[-1]["job"]), 1)
        self.assertTrue(self.server.wait_for(lambda: progress()[-1]["state"] == "cancelled", 20))
        self.assertEqual([name for name in os.listdir(self.work) if name.startswith("big.bin")], [])

    def test_empty_resources_have_zero_bytes(self):
        empty = os.path.join(self.work, "empty.txt")
        open(empty, "w").close()
        urls = ["file://" + empty, "data:text/plain,", self.server.url("/p24/empty.txt")]
        sizes = lambda: {row["url"]: row["size"] for row in self.app.rows()}
        for start, listed in (("file://" + empty, urls[:1]), ("/p24/empty.html", urls[1:])):
            self.assertEqual(self.app.start(self.server.url(start)), 1)
            self.assertTrue(self.server.wait_for(lambda: set(listed) <= set(sizes())), sizes())
        self.assertEqual([sizes()[url] for url in urls], ["0B"] * 3)

    def test_a_page_sizes_and_moves_the_windows_it_opens(self):
        self.assertEqual(self.app.start(self.server.url("/p25/sizes.html")), 1)
        wanted = {(40, 50, 420, 300), (200, 150, 500, 350)}
        # Each page tells its window's frame once the window has it.
        told = lambda name, frame: any(request.path.startswith(
            "/p25/frame?name=%s&x=%d&y=%d&w=%d&h=%d" % ((name,) + frame))
            for request in self.server.requests)
        self.assertTrue(self.server.wait_for(lambda: told("sized", (40, 50, 420, 300)) and
                                             told("moved", (200, 150, 500, 350)), 60),
                        [request.path for request in self.server.requests if "frame" in request.path] + [self.app.debug_output()])
        frames = lambda: {desktop.geometry(window)
                          for window, _, _ in desktop.windows(self.app.process.pid)}
        self.assertTrue(wait(lambda: wanted <= frames()), frames())

    def test_windows_draw_their_pages_and_repaint_at_a_new_size(self):
        self.assertTrue(wait(lambda: len(desktop.windows(self.app.process.pid)) == 1))
        ui_window = desktop.windows(self.app.process.pid)[0][0]
        self.assertEqual(self.app.start(self.server.url("/p29/sizes.html")), 1)
        by_frame = lambda: {desktop.geometry(window): window
                            for window, _, _ in desktop.windows(self.app.process.pid)}
        self.assertTrue(wait(lambda: len(by_frame()) == 4), by_frame())
        # Each page's colour, where no other window lies over it.
        sized, moved = by_frame()[(40, 50, 420, 300)], by_frame()[(200, 150, 500, 350)]
        self.assertTrue(wait(lambda: desktop.pixel(sized, 20, 20) == "00C000"),
                        desktop.pixel(sized, 20, 20))
        self.assertTrue(wait(lambda: desktop.pixel(moved, 250, 175) == "0000C0"),
                        desktop.pixel(moved, 250, 175))
        # The UI window grown: its page fills the new size without another event.
        x, y, width, height = desktop.geometry(ui_window)
        desktop.resize(ui_window, width + 60, height + 60)
        corner = (width + 50, height + 50)
        self.assertTrue(wait(lambda: desktop.pixel(ui_window, *corner) == "FFFFFF"),
                        desktop.pixel(ui_window, *corner))

    def test_popups_share_their_openers_web_process(self):
        self.load_site(26)
        self.assertEqual(len(self.app.browsing_processes()), 1, self.app.web_processes())

    def test_a_browsing_pages_alert_blocks_only_its_window(self):
        self.assertTrue(wait(lambda: len(desktop.windows(self.app.process.pid)) == 1))
        ui_window = desktop.windows(self.app.process.pid)[0][0]
        # The page prints first, which shows nothing.
        self.assertEqual(self.app.start(self.server.url("/p27/alert.html")), 1)
        others = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                          if window != ui_window]
        self.assertTrue(wait(lambda: len(others()) == 2), self.app.debug_output())
        self.assertEqual([desktop.title(window) for window in others()], ["Trawler"] * 2)
        self.assertEqual(self.app.call("pause"), 1)
        desktop.request_close(ui_window)
        self.assertEqual(self.app.wait_exit(), 0, self.app.debug_output())

    def test_closing_the_ui_window_at_the_x_server_ends_trawler_with_zero(self):
        self.load_site(28)
        socket_path = self.app.agent_socket()
        ui_window = desktop.windows(self.app.process.pid)[0][0]
        desktop.close_from_server(ui_window)
        self.assertEqual(self.app.wait_exit(), 0, self.app.debug_output())
        self.assertFalse(os.path.exists(socket_path))

    def test_a_socket_left_by_a_killed_run_is_removed_at_the_next_start(self):
        left = self.app.agent_socket()
        self.app.close()
        self.assertTrue(os.path.exists(left), left)
        work = tempfile.mkdtemp(prefix="trawler-e2e-")
        server = SiteServer()
        try:
            self.app = Trawler(e2e_case.BIN, server, work, runtime=self.app.runtime)
            self.assertFalse(os.path.exists(left), os.listdir(self.app.runtime))
            self.assertEqual(self.app.call("copyURL", url="next run"), 1)
        finally:
            self.app.close()
            server.stop()
            shutil.rmtree(work, ignore_errors=True)

    def test_closing_the_ui_window_ends_trawler_with_zero(self):
        self.load_site(8)
        windows = desktop.windows(self.app.process.pid)
        self.assertGreaterEqual(len(windows), 2)
        ui_window = windows[0][0]  # the first window sits at the default position
        desktop.request_close(ui_window)
        self.assertEqual(self.app.wait_exit(), 0, self.app.debug_output())


class RealPageTest(unittest.TestCase):
    """Trawler with its real UI page, used as a person uses it: keys at the display."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="trawler-e2e-")
        self.server = SiteServer()
        self.app = Trawler(e2e_case.BIN, self.server, self.work, real_page=True)

    def tearDown(self):
        self.app.close()
        self.server.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    def ui_window(self):
        window = first_window(self.app.process.pid, 20)
        self.assertIsNotNone(window)
        # The page is drawn and its address field has the focus, ringed in the accent.
        self.assertTrue(wait(lambda: ACCENT in desktop.colours(window), 30))
        return window

    def copied_urls(self, ui_window):
        """Copy all URLs (Ctrl+Shift+C) and what the clipboard then holds, sorted."""
        desktop.press_key_over(ui_window, "ctrl+shift+c", at=(10, 10))
        return sorted(desktop.clipboard().split("\n"))

    def test_a_paste_during_a_busy_search_is_answered_and_loses_no_row(self):
        ui_window = self.ui_window()
        desktop.type_over(ui_window, self.server.url("/p14/stream.html"))
        desktop.press_key_over(ui_window, "Return", at=(10, 10))
        self.assertTrue(self.server.wait_for(
            lambda: any(entry.path.startswith("/p14/s/") for entry in self.server.log)))
        desktop.set_clipboard("pasted")
        for _ in range(3):
            desktop.press_key_over(ui_window, "ctrl+v", at=(10, 10))
        # The keys are answered while the page still asks for images.
        self.assertTrue(wait(lambda: self.copied_urls(ui_window)[0].startswith("http://"), 5))
        self.assertFalse(any(entry.path == "/p14/s/%d.png" % (STREAM_COUNT - 1)
                             for entry in self.server.log), "the search was over before")
        expected = sorted([self.server.url("/p14/stream.html")] + [
            self.server.url("/p14/s/%d.png" % i) for i in range(STREAM_COUNT)])
        self.assertTrue(wait(lambda: self.copied_urls(ui_window) == expected, 30),
                        desktop.clipboard()[:300])

    def test_a_typed_address_lists_what_the_site_sent_and_copies_it(self):
        ui_window = self.ui_window()
        # Browsing windows open beside the UI window, or over its right part when the screen
        # has no room: the pointer stays in the corner they leave free.
        desktop.type_over(ui_window, self.server.url("/p11/index.html"))
        desktop.press_key_over(ui_window, "Return", at=(10, 10))
        popups = ("/p11/popup-open.png", "/p11/popup-link.png")
        self.assertTrue(self.server.wait_for(
            lambda: sum(entry.path in popups for entry in self.server.log) == 2),
            self.app.debug_output())
        expected = sorted([self.server.url(entry.path) for entry in self.server.logged()
                           if not 300 <= entry.status < 400] + [DATA_URL])
        # The last rows reach the page a moment after their requests.
        self.assertTrue(wait(lambda: self.copied_urls(ui_window) == expected, 30),
                        desktop.clipboard())

    def test_a_stream_is_saved_with_its_sound_from_its_row_in_four_keys(self):
        pages, source = media_pages(32, os.path.join(self.work, "media"), forms=("dash-number",))
        folder = "/p32/streams/dash-number/"
        # The page plays as a player starts: the manifest, then each representation's first
        # segments, which fold under the manifest's row once it is read.
        pages["/streams/dash-number.html"].body = (
            "<!DOCTYPE html><script>fetch('%(f)smanifest.mpd').then(function () {"
            "['init-stream0.m4s', 'chunk-stream0-00001.m4s', 'init-stream1.m4s',"
            " 'chunk-stream1-00001.m4s'].forEach(function (name) { fetch('%(f)s' + name); });"
            "});</script>" % {"f": folder}).encode()
        self.server.pages(32).update(pages)
        ui_window = self.ui_window()
        desktop.type_over(ui_window, self.server.url("/p32/streams/dash-number.html"))
        desktop.press_key_over(ui_window, "Return", at=(10, 10))
        manifest = self.server.url(folder + "manifest.mpd")
        segment = self.server.url(folder + "chunk-stream1-00001.m4s")
        self.assertTrue(self.server.wait_for(lambda: self.server.asked(folder + "chunk-stream1-00001.m4s")))
        # The shown rows hold the manifest and none of its segments: they are folded.
        folded = lambda: manifest in self.copied_urls(ui_window) and \
            segment not in self.copied_urls(ui_window)
        self.assertTrue(wait(folded, 30), desktop.clipboard())
        known = {window for window, _, _ in desktop.windows(self.app.process.pid)}
        # Ctrl+F and the manifest's name, Down into the list, Ctrl+S on its row.
        desktop.press_key_over(ui_window, "ctrl+f", at=(10, 10))
        desktop.type_over(ui_window, "manifest")
        desktop.press_key_over(ui_window, "Down", at=(10, 10))
        desktop.press_key_over(ui_window, "ctrl+s", at=(10, 10))
        dialogs = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                           if window not in known and
                           desktop.title(window) == "Save the stream as one file"]
        self.assertTrue(wait(dialogs, 20), self.app.debug_output())
        joined = os.path.join(self.work, "stream.mp4")
        desktop.press_key_over(dialogs()[0], "ctrl+a")
        desktop.type_over(dialogs()[0], joined)
        desktop.press_key_over(dialogs()[0], "Return")
        self.assertTrue(wait(lambda: os.path.exists(joined), 60), os.listdir(self.work))
        info = probe(joined)
        self.assertEqual(sorted(stream["codec_type"] for stream in info["streams"]),
                         ["audio", "video"])
        self.assertAlmostEqual(float(info["format"]["duration"]), SECONDS, delta=0.5)
        self.assertEqual(frame_digests(joined), frame_digests(source))
        self.assertFalse([name for name in os.listdir(self.work) if ".part-" in name])


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        e2e_case.BIN = sys.argv.pop(1)
    unittest.main(verbosity=2)

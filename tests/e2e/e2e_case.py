"""The base of the end-to-end tests: a local site (with a TLS listener whose certificate
nobody vouches for) and the real trawler with the test UI page, and what a test does with
them again and again."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

import desktop
from local_site import SiteServer
from trawler_app import Trawler, wait

BIN = os.environ.get("TRAWLER_BIN", "")


def self_signed_certificate(folder):
    """A certificate for 127.0.0.1 that nobody vouches for."""
    files = (os.path.join(folder, "certificate.pem"), os.path.join(folder, "key.pem"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-keyout", files[1], "-out", files[0]],
                   check=True, capture_output=True)
    return files


class EndToEndCase(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="trawler-e2e-")
        self.server = SiteServer(self_signed_certificate(self.work))
        self.app = Trawler(BIN, self.server, self.work)

    def tearDown(self):
        self.app.close()
        self.server.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    def wait_rows(self, count, seconds=20):
        return self.server.wait_for(lambda: len(self.app.reports("row")) >= count, seconds)

    def settled_rows(self, phase, sentinel="sentinel.json", **filters):
        """The rows listed before a later search's row: rows come in the order their
        responses did, so a row that was still to come of what was loaded before would
        stand before it."""
        url = self.server.url("/p%d/%s" % (phase, sentinel))
        self.assertEqual(self.app.start(url, **filters), 1)
        self.assertTrue(self.server.wait_for(lambda: url in [row["url"] for row in
                                                                 self.app.rows()]))
        rows = self.app.rows()
        return rows[:[row["url"] for row in rows].index(url)]

    def save_through_dialog(self, method, title, path, **params):
        """Runs a save command, names the file in its dialog; the save's last progress."""
        known = {window for window, _, _ in desktop.windows(self.app.process.pid)}
        before = len(self.app.reports("progress"))
        self.assertEqual(self.app.call(method, **params), 1)
        dialogs = lambda: [window for window, _, _ in desktop.windows(self.app.process.pid)
                           if window not in known and desktop.title(window) == title]
        self.assertTrue(wait(dialogs, 20), self.app.debug_output())
        desktop.press_key_over(dialogs()[0], "ctrl+a")
        desktop.type_over(dialogs()[0], path)
        desktop.press_key_over(dialogs()[0], "Return")
        progress = lambda: [json.loads(text) for text in self.app.reports("progress")[before:]]
        self.assertTrue(self.server.wait_for(lambda: progress() and progress()[-1]["state"] != "running", 60),
                        progress())
        return progress()

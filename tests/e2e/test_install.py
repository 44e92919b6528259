"""Trawler installed: `cmake --install` into a prefix with a space in its name, the installed
program started through its link from another folder, the desktop entry, the metadata and
the icons, and the Debian package CPack makes (its files, its dependencies, lintian)."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import desktop
from local_site import SiteServer
from trawler_app import ACCENT, die_with_parent, first_window, wait

BUILD = os.environ.get("TRAWLER_BUILD", "")
APP_ID = "com.quillmoor.Trawler"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **options)


def tree(root):
    """Every file and link below root, by its path from root."""
    found = set()
    for folder, _, names in os.walk(root):
        found.update(os.path.relpath(os.path.join(folder, name), root) for name in names)
    return found


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="trawler-install-")
        cls.prefix = os.path.join(cls.work, "with space", "usr")
        installed = run("cmake", "--install", BUILD, "--prefix", cls.prefix)
        if installed.returncode:
            raise RuntimeError(installed.stdout + installed.stderr)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_the_installed_program_starts_from_another_folder_and_shows_its_page(self):
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        environment = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime,
                           XDG_DATA_HOME=os.path.join(home, "data"),
                           XDG_CONFIG_HOME=os.path.join(home, "config"),
                           XDG_CACHE_HOME=os.path.join(home, "cache"))
        link = os.path.join(self.prefix, "bin", "trawler")
        self.assertEqual(os.readlink(link), "../lib/trawler/trawler")
        with open(os.path.join(self.work, "stderr.txt"), "w+") as errors:
            process = subprocess.Popen([link], cwd=home, env=environment, stderr=errors,
                                       stdout=subprocess.DEVNULL, preexec_fn=die_with_parent)
            try:
                window = first_window(process.pid, 30)
                self.assertIsNotNone(window, "no window")
                self.assertEqual(desktop.title(window), "Trawler")
                # The UI page is drawn with its style sheet: the address field has the
                # focus, ringed in the page's accent colour.
                self.assertTrue(wait(lambda: ACCENT in desktop.colours(window), 30),
                                sorted(desktop.colours(window))[:40])
            finally:
                process.kill()
                process.wait()
                errors.seek(0)
                output = errors.read()
        self.assertNotIn("could not", output)

    def test_the_desktop_entry_metadata_and_icons_are_in_place_and_valid(self):
        share = os.path.join(self.prefix, "share")
        entry = os.path.join(share, "applications", APP_ID + ".desktop")
        checked = run("desktop-file-validate", entry)
        self.assertEqual((checked.returncode, checked.stdout), (0, ""), checked.stdout)
        with open(entry) as text:
            fields = dict(line.strip().split("=", 1) for line in text if "=" in line)
        self.assertEqual((fields["Name"], fields["Icon"], fields["Exec"], fields["StartupWMClass"]),
                         ("Trawler", APP_ID, "trawler", "Trawler"))
        checked = run("appstreamcli", "validate", "--no-net",
                      os.path.join(share, "metainfo", APP_ID + ".metainfo.xml"))
        self.assertEqual(checked.returncode, 0, checked.stdout)
        icons = os.path.join(share, "icons", "hicolor")
        self.assertTrue(os.path.isfile(os.path.join(icons, "scalable", "apps", APP_ID + ".svg")))
        for size in ICON_SIZES:
            image = os.path.join(icons, "%dx%d" % (size, size), "apps", APP_ID + ".png")
            self.assertEqual(run("identify", "-format", "%wx%h", image).stdout,
                             "%dx%d" % (size, size))

    def test_the_package_holds_what_is_installed_and_names_its_libraries(self):
        output = os.path.join(self.work, "package")
        made = run("cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"),
                   "-B", output)
        self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
        package = [os.path.join(output, name) for name in os.listdir(output)
                   if name.startswith("trawler_") and name.endswith(".deb")][0]
        listed = {line.split()[5][len("./usr/"):] for line in
                  run("dpkg-deb", "-c", package).stdout.splitlines() if line[0] in "-l"}
        self.assertEqual(listed, tree(self.prefix))
        depends = run("dpkg-deb", "-f", package, "Depends").stdout
        for library in ("libwebkit2gtk-4.1-0", "libjavascriptcoregtk-4.1-0", "libgtk-3-0",
                        "libjsoncpp", "libglib2.0-0", "libc6", "xvfb"):
            self.assertIn(library, depends)
        self.assertIn("share/man/man1/trawler-capture.1.gz", listed)
        self.run_packaged_capture(package)
        checked = run("lintian", "--fail-on", "error,warning", package)
        self.assertEqual(checked.returncode, 0, checked.stdout)

    def run_packaged_capture(self, package):
        """The package's trawler-capture, unpacked, with no display: a HAR of a page."""
        unpacked = os.path.join(self.work, "unpacked")
        self.assertEqual(run("dpkg-deb", "-x", package, unpacked).returncode, 0)
        server = SiteServer()
        try:
            environment = {name: value for name, value in os.environ.items()
                           if name not in ("DISPLAY", "WAYLAND_DISPLAY")}
            environment["HOME"] = os.path.join(self.work, "capture-home")
            har = os.path.join(self.work, "packaged.har")
            done = run(os.path.join(unpacked, "usr", "bin", "trawler-capture"), "--har", har,
                       server.url("/p1/index.html"), env=environment)
            self.assertEqual((done.returncode, done.stderr), (0, ""))
            with open(har) as text:
                urls = [entry["request"]["url"] for entry in json.load(text)["log"]["entries"]]
            self.assertIn(server.url("/p1/img/pic.png"), urls)
        finally:
            server.stop()


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        BUILD = sys.argv.pop(1)
    unittest.main(verbosity=2)

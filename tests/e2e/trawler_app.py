"""The real trawler, run from a test copy of its folder whose UI page is the test driver,
with a desktop of its own (data and configuration folders, and a default http handler
that writes the URL it was given to a file)."""

import ctypes
import ctypes.util
import json
import os
import shutil
import signal
import subprocess
import time

import desktop

ACCENT = "3584E4"  # --accent of Html/trawler.css: the focus ring of the page's fields
HERE = os.path.dirname(os.path.abspath(__file__))


def finder_file_name(url):
    """The file name of a result, by the finder's rule ("unknown" when it gives none)."""
    path = url.replace("://", "")
    last = path.rfind("/")
    if not url or last < 0 or (path.find("/") == last and last + 1 == len(path)):
        return "unknown"
    segment = path[last + 1:]
    for index, character in enumerate(segment):
        if character in ":?#[]@*+,;=":
            return segment[:index]
    return segment


def finder_size(count):
    """The size text of a byte count, by the finder's rule."""
    for shift, unit in ((50, "PB"), (40, "TB"), (30, "GB"), (20, "MB"), (10, "KB")):
        threshold = 1 << shift
        if count < threshold:
            continue
        whole, rest = divmod(count, threshold)
        if rest == 0:
            return "%d%s" % (whole, unit)
        hundredths = whole * 100 + rest * 100 // threshold
        if rest * 1000 // threshold % 10 >= 5:
            hundredths += 1
        return "%d.%02d%s" % (hundredths // 100, hundredths % 100, unit)
    return "%dB" % count


def die_with_parent():
    """Trawler is killed when the test that runs it ends in any way."""
    libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Trawler:
    def __init__(self, bin_folder, server, work, page=None, real_page=False, runtime=None,
                 page_script=None):
        """Starts trawler with the driver page, the page given (__PORT__ in either becomes
        the port of the test's own channel), or Trawler's real page, with page_script run
        after its own scripts when given; runtime is the folder for its sockets (one of
        its own in work unless given)."""
        self.server = server
        self.work = work
        self.runtime = runtime or os.path.join(work, "runtime")
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)
        app = os.path.join(work, "app")
        os.makedirs(app)
        shutil.copy2(os.path.join(bin_folder, "trawler"), app)
        for folder in ("res", "page-agent") + (("Html",) if real_page else ()):
            shutil.copytree(os.path.join(bin_folder, folder), os.path.join(app, folder))
        if not real_page:
            self._write_page(app, page)
        elif page_script:
            self._add_script(app, page_script)
        self.opened = os.path.join(work, "opened")
        self.environment = self._desktop()
        self.stderr = open(os.path.join(work, "stderr.txt"), "w+")
        self.process = subprocess.Popen([os.path.join(app, "trawler")], cwd="/",
                                        env=self.environment, stderr=self.stderr,
                                        stdout=subprocess.DEVNULL, preexec_fn=die_with_parent)
        if real_page:
            return
        if not server.wait_for(lambda: server.reports, 20):
            raise RuntimeError("the UI page did not report:\n" + self.debug_output())
        if server.reports_of("ready") != ["object"]:
            raise RuntimeError("the UI page has no service object")

    def _write_page(self, app, page):
        """The test's own UI page, which drives "service" as the test tells it."""
        os.makedirs(os.path.join(app, "Html"))
        if page is None:
            with open(os.path.join(HERE, "ui_driver.html"), encoding="utf-8") as template:
                page = template.read()
        page = page.replace("__PORT__", str(self.server.control_port))
        with open(os.path.join(app, "Html", "index.html"), "w", encoding="utf-8") as out:
            out.write(page)

    def _add_script(self, app, script):
        """A script of the caller's, loaded after the real page's own."""
        with open(os.path.join(app, "Html", "added.js"), "w", encoding="utf-8") as out:
            out.write(script.replace("__PORT__", str(self.server.control_port)))
        index = os.path.join(app, "Html", "index.html")
        with open(index, encoding="utf-8") as page:
            text = page.read()
        with open(index, "w", encoding="utf-8") as page:
            page.write(text.replace("</head>", '<script src="added.js" defer></script>\n</head>'))

    def _desktop(self):
        data = os.path.join(self.work, "data")
        config = os.path.join(self.work, "config")
        os.makedirs(os.path.join(data, "applications"))
        os.makedirs(config)
        handler = os.path.join(self.work, "handler.sh")
        with open(handler, "w") as script:
            script.write("#!/bin/sh\nprintf '%%s' \"$1\" > '%s.part'\nmv '%s.part' '%s'\n"
                         % (self.opened, self.opened, self.opened))
        os.chmod(handler, 0o700)
        with open(os.path.join(data, "applications", "trawler-test-browser.desktop"), "w") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=Browser\nExec=%s %%u\n"
                        "MimeType=x-scheme-handler/http;\nNoDisplay=true\n" % handler)
        with open(os.path.join(config, "mimeapps.list"), "w") as defaults:
            defaults.write("[Default Applications]\n"
                           "x-scheme-handler/http=trawler-test-browser.desktop\n")
        environment = dict(os.environ, XDG_DATA_HOME=data, XDG_CONFIG_HOME=config,
                           HOME=self.work, XDG_RUNTIME_DIR=self.runtime)
        return environment

    def send(self, command):
        self.server.commands.put(command)

    def call(self, method, **params):
        """Runs a command as the UI page sends it; answers its returnValue."""
        return self.answer(method, **params)["returnValue"]

    def answer(self, method, **params):
        """Runs a command as the UI page sends it; its whole answer."""
        before = len(self.server.reports_of("answer"))
        self.send({"kind": "call", "method": method, "params": params})
        if not self.server.wait_for(lambda: len(self.reports("answer")) > before):
            raise RuntimeError("no answer to " + method)
        return json.loads(self.server.reports_of("answer")[before]["answer"])

    def reports(self, kind):
        return [report["data"] for report in self.server.reports if report["kind"] == kind]

    def rows(self):
        """The rows reported, each with the four texts the list has always shown."""
        return [{key: row[key] for key in ("fileName", "mimeType", "size", "url")}
                for row in self.requests()]

    def requests(self):
        """The rows reported, each as its last update left it, in the order reported."""
        rows = [json.loads(row) for row in self.server.reports_of("row")]
        latest = {}
        for update in self.server.reports_of("update"):
            row = json.loads(update)
            latest[row["id"]] = row
        return [latest.get(row["id"], row) for row in rows]

    def start(self, url, filter_enabled=False, ext=None, mime=""):
        return self.call("start", url=url, filterEnabled=filter_enabled,
                         useFileExtFilter=ext is not None, fileExtFilter=ext or "",
                         mimeFilter=mime)

    def debug_output(self):
        self.stderr.flush()
        self.stderr.seek(0)
        return self.stderr.read()

    def wait_exit(self, seconds=15):
        try:
            return self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            return None

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.stderr.close()

    def web_processes(self):
        """The web processes of this run: (pid, whether the page agent is loaded in it)."""
        found = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % pid) as stat:
                    parent = int(stat.read().rsplit(")", 1)[1].split()[1])
                with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                    command = cmdline.read()
                if parent != self.process.pid or b"WebKitWebProcess" not in command:
                    continue
                with open("/proc/%s/maps" % pid) as maps:
                    found.append((int(pid), "libtrawler-page-agent.so" in maps.read()))
            except (OSError, IndexError, ValueError):
                continue
        return found

    def browsing_processes(self):
        return [pid for pid, has_agent in self.web_processes() if not has_agent]

    def ui_page_process(self):
        """The web process of the UI page (the one with the page agent), or None."""
        pages = [pid for pid, has_agent in self.web_processes() if has_agent]
        return pages[0] if len(pages) == 1 else None

    def _agent_sockets(self):
        """Trawler's sockets at its agent address: (descriptor, path, connected)."""
        descriptors = {}
        folder = "/proc/%d/fd" % self.process.pid
        for fd in os.listdir(folder):
            try:
                target = os.readlink(os.path.join(folder, fd))
            except OSError:
                continue
            if target.startswith("socket:["):
                descriptors[target[8:-1]] = int(fd)
        found = []
        with open("/proc/net/unix") as table:
            for line in table.readlines()[1:]:
                fields = line.split()
                if len(fields) >= 8 and fields[6] in descriptors and "/trawler-" in fields[7]:
                    found.append((descriptors[fields[6]], fields[7], fields[5] == "03"))
        return found

    def agent_socket(self):
        """The path of the socket Trawler listens at for page agents, or None."""
        listening = [path for fd, path, connected in self._agent_sockets() if not connected]
        return listening[0] if listening else None

    def cut_agent_links(self):
        """Shuts Trawler's connections to its page agents down from inside Trawler (with
        gdb), as a link that broke would be; answers how many there were."""
        links = [fd for fd, path, connected in self._agent_sockets() if connected]
        commands = []
        for fd in links:
            commands += ["-ex", "call (int)shutdown(%d, 2)" % fd]
        subprocess.run(["gdb", "-p", str(self.process.pid), "-batch", "-nx"] + commands,
                       capture_output=True, timeout=60)
        return len(links)

    def rows_since_last_ready(self):
        """The rows the UI page reported since it last (re)loaded."""
        with self.server.lock:
            reports = list(self.server.reports)
        last = max(i for i, report in enumerate(reports) if report["kind"] == "ready")
        return [json.loads(report["data"]) for report in reports[last:] if report["kind"] == "row"]


def wait(predicate, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def first_window(pid, seconds):
    """The id of the process's first top-level window once one shows, or None."""
    found = []
    wait(lambda: found.extend(desktop.windows(pid)) or found, seconds)
    return found[0][0] if found else None

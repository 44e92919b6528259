"""Trawler's UI page (Html/index.html) in a real WebKitGTK view, with a stand-in for the
native "service" object injected before the page's own scripts. The stand-in records each
call and answers as the native commands would (or as a test tells it to: a number for the
returnValue, or a whole answer object). Tests drive the
page by script and by key presses at the display, and read the document."""

import json
import os
import subprocess
import time

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("WebKit2", "4.1")
from gi.repository import GLib, Gtk, WebKit2  # noqa: E402

STAND_IN = r"""
window.__calls = [];
window.__answers = {start: 1, pause: 1, stop: 1, open: 1, copyURL: 1};
window.__warnings = [];
const warn = console.warn.bind(console);
console.warn = (...parts) => { window.__warnings.push(parts.map(String).join(' ')); warn(...parts); };
window.service = {
  uri: '', method: '', params: '',
  call() {
    window.__calls.push({uri: this.uri, method: this.method, params: JSON.parse(this.params)});
    const answer = window.__answers[this.method];
    return JSON.stringify(typeof answer === 'object' ? answer : {returnValue: answer || 0}) + '\n';
  },
  cancelCall() { return true; },
};
"""


def run_loop(seconds):
    """Runs the main loop for a while (the page renders on animation frames)."""
    done = []
    GLib.timeout_add(int(seconds * 1000), lambda: done.append(True) and False)
    while not done:
        Gtk.main_iteration_do(True)


class Page:
    def __init__(self, html_folder, dark=False, width=1100, height=700, extra_script=""):
        Gtk.Settings.get_default().props.gtk_application_prefer_dark_theme = dark
        self.window = Gtk.Window(title="Trawler page test")
        self.window.set_default_size(width, height)
        self.window.move(0, 0)
        self.view = WebKit2.WebView()
        self.view.get_settings().set_property("enable-developer-extras", True)
        manager = self.view.get_user_content_manager()
        manager.add_script(WebKit2.UserScript(
            STAND_IN + extra_script, WebKit2.UserContentInjectedFrames.TOP_FRAME,
            WebKit2.UserScriptInjectionTime.START, None, None))
        self.window.add(self.view)
        self.window.show_all()
        self.loaded = False
        self.view.connect("load-changed", self._load_changed)
        self.view.load_uri(GLib.filename_to_uri(os.path.abspath(os.path.join(html_folder, "index.html"))))
        if not self.wait(lambda: self.loaded, 20):
            raise RuntimeError("the page did not load")
        self.view.grab_focus()
        run_loop(0.2)

    def _load_changed(self, view, event):
        if event == WebKit2.LoadEvent.FINISHED:
            self.loaded = True

    def close(self):
        self.window.destroy()
        run_loop(0.05)

    def wait(self, predicate, seconds=5.0):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if predicate():
                return True
            GLib.MainContext.default().iteration(False) or time.sleep(0.002)
        return predicate()

    def js(self, expression):
        """The JSON-decoded value of an expression evaluated in the page."""
        result = []

        def finished(view, task):
            try:
                result.append(view.evaluate_javascript_finish(task))
            except GLib.Error as error:  # the expression threw: say so at once
                result.append(error)

        self.view.evaluate_javascript(
            "JSON.stringify((() => { return %s; })()) ?? 'null'" % expression.strip(), -1, None,
            None, None, finished)
        if not self.wait(lambda: result, 30):
            raise RuntimeError("no answer from the page for " + expression)
        if isinstance(result[0], GLib.Error):
            raise RuntimeError("%s: %s" % (expression, result[0].message))
        return json.loads(result[0].to_string())

    def frames(self, count=2):
        """Lets the page render: it renders on the animation frame after a change, so two
        frames later everything asked for has been drawn."""
        self.js("window.__frames = 0")
        self.js("(function tick() { if (++window.__frames < %d) requestAnimationFrame(tick); })"
                "(), requestAnimationFrame(() => {})" % (count + 1))
        self.wait(lambda: self.js("window.__frames") >= count + 1)

    def add_rows(self, rows):
        """Adds rows as the native side does, and waits until the page has drawn them: rows
        that arrive are drawn a few times a second, and the count in the status line says
        when."""
        status = lambda: self.js("document.querySelector('#status span').textContent")
        before = status()
        self.js("(%s).forEach((row) => addResult(typeof row === 'string' ? row : "
                "JSON.stringify(row)))" % json.dumps(rows))
        self.wait(lambda: status() != before)
        # The list draws rows once it has measured its height, which a busy machine may do a
        # little after the count changed.
        drawn = ("document.querySelectorAll('#viewport .row:not([hidden])').length > 0 || "
                 "/ 0 shown/.test(document.getElementById('status').textContent)")
        self.wait(lambda: self.js(drawn), 30)
        self.frames()

    def calls(self, method=None):
        return [call for call in self.js("window.__calls")
                if method is None or call["method"] == method]

    def answer(self, method, value):
        self.js("window.__answers[%s] = %d" % (json.dumps(method), value))

    def text(self, selector):
        return self.js("document.querySelector(%s).textContent" % json.dumps(selector))

    def shown_rows(self):
        """The rows on screen, top to bottom, as their four texts."""
        return self.js("""Array.from(document.querySelectorAll('#viewport .row'))
            .filter((row) => getComputedStyle(row).display !== 'none')
            .sort((a, b) => Number(a.dataset.index) - Number(b.dataset.index))
            .map((row) => ['name', 'mime', 'size', 'url'].map(
                (name) => row.querySelector('.cell.' + name).textContent))""")

    def keys(self, *keys):
        """Presses keys at the display, with the pointer over the page (no window manager
        gives the focus, so keys go to the window under the pointer)."""
        run_loop(0.05)
        window = self.window.get_window().get_xid()
        subprocess.run(["xdotool", "mousemove", "--window", str(window), "500", "600"], check=True)
        for key in keys:
            subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True)
            run_loop(0.05)
        self.frames()

    def type(self, text):
        run_loop(0.05)
        subprocess.run(["xdotool", "type", "--delay", "5", text], check=True)
        run_loop(0.1)

    def screenshot(self, path):
        self.frames(10)
        subprocess.run(["import", "-window", "root", path], check=True)

#!/usr/bin/python3
"""Loads one address in a bare WebKitGTK view (no Trawler), prints the milliseconds from
asking to the load's end, and exits: the baseline of trawler_load_bench.py and
burst_bench.py. With --observe it hears every resource's start, request, response and end
as a capture on WebKitGTK must (WebKit tracks resources only for a view that listens). Run
with the system's Python, which has the GObject bindings:
/usr/bin/python3 bench/bare_view_load.py [--observe] URL"""

import sys
import time

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("WebKit2", "4.1")
from gi.repository import GLib, Gtk, WebKit2  # noqa: E402


def main():
    window = Gtk.Window()
    window.set_default_size(800, 600)
    view = WebKit2.WebView()
    window.add(view)
    window.show_all()
    started = []
    if "--observe" in sys.argv:
        def resource_started(_, resource, request):
            for signal in ("sent-request", "notify::response", "finished", "failed"):
                resource.connect(signal, lambda *_: None)
        view.connect("resource-load-started", resource_started)

    def changed(_, event):
        if event == WebKit2.LoadEvent.FINISHED:
            print("%.1f" % ((time.monotonic() - started[0]) * 1000), flush=True)
            GLib.idle_add(Gtk.main_quit)
    view.connect("load-changed", changed)
    started.append(time.monotonic())
    view.load_uri(sys.argv[-1])
    GLib.timeout_add_seconds(300, Gtk.main_quit)
    Gtk.main()


if __name__ == "__main__":
    main()

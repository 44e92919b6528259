#!/usr/bin/python3
"""Loads one address in a bare WebKitGTK view (no Trawler) and exits once the load has
finished: the baseline of trawler_load_bench.py. Run with the system's Python, which has
the GObject bindings: /usr/bin/python3 bench/bare_view_load.py URL"""

import sys

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
    view.connect("load-changed", lambda _, event: event == WebKit2.LoadEvent.FINISHED and
                 GLib.idle_add(Gtk.main_quit))
    view.load_uri(sys.argv[1])
    GLib.timeout_add_seconds(300, Gtk.main_quit)
    Gtk.main()


if __name__ == "__main__":
    main()

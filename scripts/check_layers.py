#!/usr/bin/env python3
"""Checks what each folder of Trawler's code may include: the layers of ARCHITECTURE.md.

A folder's files may include the project headers its rule allows (by path prefix) and no
toolkit or engine header unless its rule allows that too. The arrows that still run the
wrong way are listed by name in KNOWN; one that is mended must leave the list, and no new
one may join it. Prints each breach and exits 1 when there is one."""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The interfaces the system's code is written against, with the holders of the engine
# interface's references and strings (webview/com_ptr.h), which the engines use too.
INTERFACES = ("platform/win32.h", "platform/text.h", "webview/web_engine.h",
              "webview/com_ptr.h", "bridge/script_engine.h")
# Headers of GTK, GLib, X11, WebKitGTK and the real JavaScriptCore.
TOOLKIT = re.compile(r"(gtk|gdk|gio|glib|webkit2|JavaScriptCore|jsc|X11|libsoup)[/.-]")

# folder: (project header prefixes it may include, whether toolkit headers are allowed)
RULES = {
    "app": (INTERFACES + ("app/", "finder/", "webview/"), False),
    "finder": (INTERFACES + ("finder/", "app/", "bridge/", "webview/"), False),
    # The text rules and the records need no engine, no state and no window.
    "finder/text": (("finder/text/", "platform/win32.h", "platform/text.h",
                     "webview/address.h"), False),
    "finder/records": (("finder/records/", "finder/text/"), False),
    # The saves: the records, the search state and what tells the page, over the engine's
    # interface (with its holders and listener base).
    "finder/saves": (INTERFACES + ("finder/saves/", "finder/records/", "finder/text/",
                                   "finder/finder_state.h", "finder/result_reporting.h",
                                   "webview/delegate_base.h"), False),
    # The command-line capture: the application's list, windows and saves.
    "capture": (INTERFACES + ("capture/", "app/", "finder/", "webview/", "bridge/"), False),
    "webview": (INTERFACES + ("webview/",), False),
    "bridge": (INTERFACES + ("bridge/",), False),
    "platform": (("platform/",), False),
    "platform/gtk": (("platform/",), True),
    "engine": (INTERFACES + ("engine/com_object.h", "engine/engine_strings.h",
                             "engine/notification_center.h"), False),
    "engine/testing": (INTERFACES + ("engine/", "platform/headless/observation.h",
                                     "platform/drops.h"), False),
    "engine/webkitgtk": (INTERFACES + ("engine/", "platform/gtk/peer_widget.h",
                                       "platform/gtk/gobject_ptr.h",
                                       "platform/gtk/signal_thunk.h"), True),
    "engine/remote_script/protocol": (("engine/remote_script/protocol/",), False),
    "engine/remote_script/host": (("platform/win32.h", "bridge/script_engine.h",
                                   "engine/remote_script/"), True),
    "engine/remote_script/agent": (("engine/remote_script/protocol/",
                                    "engine/remote_script/agent/"), True),
}
# Files that may use the real JavaScriptCore although their folder may not.
TOOLKIT_FILES = {"bridge/script_engine_local.cpp"}

# The arrows still to mend, if any: (including file, included header).
KNOWN = set()

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def rule_of(path):
    """The rule of the deepest folder that has one."""
    folder = os.path.dirname(path)
    while folder:
        if folder in RULES:
            return RULES[folder]
        folder = os.path.dirname(folder)
    return None


def breaches():
    found, seen_known = [], set()
    for folder in sorted({key.split("/")[0] for key in RULES}):
        for directory, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in sorted(names):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.relpath(os.path.join(directory, name), ROOT)
                allowed, toolkit = rule_of(path)
                with open(os.path.join(ROOT, path), encoding="utf-8") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        kind, header = match.groups()
                        where = "%s:%d: %s" % (path, number, header)
                        if kind == "<":
                            if TOOLKIT.match(header) and not toolkit and path not in TOOLKIT_FILES:
                                found.append(where + " (toolkit or engine header)")
                        elif (path, header) in KNOWN:
                            seen_known.add((path, header))
                        elif not header.startswith(allowed):
                            found.append(where + " (not among what this layer may include)")
    found += ["%s: %s is mended; take it off the list" % pair for pair in KNOWN - seen_known]
    return found


if __name__ == "__main__":
    problems = breaches()
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)

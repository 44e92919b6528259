"""What a person does at the desktop, for the tests: find Trawler's windows, ask one to
close (as a window manager's close button does), press keys, set and read the clipboard."""

import ctypes
import ctypes.util
import re
import subprocess


def xdotool(*arguments):
    """What xdotool prints. A window that goes while xdotool walks the tree (another test's,
    on the shared display) ends xdotool with an X error and no output; it is asked again."""
    for _ in range(10):
        done = subprocess.run(("xdotool",) + arguments, capture_output=True, text=True)
        if "X Error" not in done.stderr:
            break
    return done.stdout


def windows(pid):
    """Trawler's mapped top-level windows as (id, x, y), oldest position first."""
    found = xdotool("search", "--onlyvisible", "--pid", str(pid), "--name", ".").split()
    result = [(int(window),) + geometry(window)[:2] for window in found]
    return sorted(result, key=lambda entry: (entry[1], entry[2]))


def geometry(window):
    """The window's (x, y, width, height)."""
    shell = xdotool("getwindowgeometry", "--shell", str(window))
    values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
    return tuple(int(values.get(name, 0)) for name in ("X", "Y", "WIDTH", "HEIGHT"))


def screen_info(*arguments, output="info:"):
    """What ImageMagick's convert says of the screen as it is now, given its arguments."""
    screen = subprocess.run(["import", "-window", "root", "miff:-"], capture_output=True,
                            timeout=20).stdout
    return subprocess.run(["convert", "miff:-", "-depth", "8"] + list(arguments) + [output],
                          input=screen, capture_output=True, timeout=20).stdout.decode()


def pixel(window, x, y):
    """The colour the screen shows at (x, y) of the window, as "RRGGBB"."""
    left, top = geometry(window)[:2]
    return screen_info("-format", "%%[hex:u.p{%d,%d}]" % (left + x, top + y)).strip()


def colours(window):
    """The colours the screen shows in the window, as "RRGGBB" texts."""
    x, y, width, height = geometry(window)
    histogram = screen_info("-crop", "%dx%d+%d+%d" % (width, height, x, y), "-format", "%c",
                            output="histogram:info:")
    return set(re.findall(r"#([0-9A-F]{6})", histogram))


def resize(window, width, height):
    subprocess.run(["xdotool", "windowsize", str(window), str(width), str(height)], check=True)


def title(window):
    return xdotool("getwindowname", str(window)).strip()


def close_from_server(window):
    """Destroys the window at the X server, as xkill-like tools and some desktops do."""
    subprocess.run(["xdotool", "windowclose", str(window)], check=True)


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def request_close(window):
    """Sends WM_DELETE_WINDOW to the window, as a window manager does for its close button."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    event = XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
    x11.XCloseDisplay(display)


def press_key_over(window, key, at=(40, 40)):
    """Moves the pointer over the window (with no window manager, keys go to the window
    under it) and presses the key."""
    subprocess.run(["xdotool", "mousemove", "--window", str(window), str(at[0]), str(at[1]),
                    "key", "--clearmodifiers", key], check=True)


def type_over(window, text, at=(10, 10)):
    subprocess.run(["xdotool", "mousemove", "--window", str(window), str(at[0]), str(at[1]),
                    "type", "--delay", "5", text], check=True)


def set_clipboard(text):
    """Puts the text on the clipboard, owned by an xclip that serves it until another owner
    takes the clipboard."""
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=text.encode("utf-8"),
                   check=True, timeout=10)


def clipboard():
    return subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                          timeout=10).stdout.decode("utf-8")

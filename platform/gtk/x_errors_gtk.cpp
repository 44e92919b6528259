// A window the X server destroyed by itself (a desktop's "force close", xdotool windowclose)
// turns the requests still under way on it into BadWindow or BadDrawable errors, which GDK
// would end the process for. They are harmless: the window closes the usual way (see the
// peer's destroy-event). Every other error still goes to GDK.

#include "platform/gtk/backend_gtk.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace platform::gtk {
namespace {

XErrorHandler g_gdkHandler = nullptr;

int IgnoreGoneWindows(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  return g_gdkHandler ? g_gdkHandler(display, error) : 0;
}

}  // namespace

void IgnoreErrorsOfGoneWindows() {
  if (!GDK_IS_X11_DISPLAY(gdk_display_get_default()) || g_gdkHandler) return;
  g_gdkHandler = XSetErrorHandler(IgnoreGoneWindows);
}

}  // namespace platform::gtk

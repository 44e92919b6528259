#pragma once

// For the web engine only: the GTK side of the layer's windows. The engine places its web
// view widget in the child window it makes; nothing in the system's code sees this.

#include "platform/win32.h"

#include <gtk/gtk.h>

namespace platform::gtk {

// Starts GTK on the display the first time it is asked; false when there is none.
bool EnsureToolkit();
// Places the widget in the window's client area, filling it and following its size from
// now on, until the window is destroyed, which takes it out again (the caller keeps its own
// reference); false when the window has no peer.
bool PlaceWidget(HWND window, GtkWidget* widget);
// The top-level GtkWindow of a window (itself, or the one its parent chain ends in).
GtkWindow* TopLevelWidget(HWND window);

}  // namespace platform::gtk

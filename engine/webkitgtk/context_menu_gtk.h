#pragma once

// The page's context menu as the system's UI delegate sees it: an HMENU whose item
// identifiers are the engine's menu tags (copy 8, back 9, forward 10, stop 11, reload 12,
// cut 13, paste 14; anything else a tag outside that set), and back.

#include "platform/win32.h"

#include <webkit2/webkit2.h>

namespace webkitgtk {

// A new menu with one item per item of the page's menu, in order.
HMENU MenuOf(WebKitContextMenu* menu);
// Removes from the page's menu the items the trimmed menu no longer holds (the items it
// kept stay in their order).
void ApplyMenu(WebKitContextMenu* menu, HMENU trimmed);

}  // namespace webkitgtk

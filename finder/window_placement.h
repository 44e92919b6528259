#pragma once

// Where the browsing window goes when it is made: beside Trawler's window when the screen has
// room on one side, else over the right part of it, so that the list's left part (names,
// status, types) stays in sight.

#include "platform/win32.h"

// The bounds of a window of the given size placed beside the window at `beside` within the
// screen's work area.
RECT BoundsBeside(const RECT& beside, const RECT& work, int width, int height);

// Moves `window` beside `beside`, keeping its size where the work area holds it; nothing
// when either window or the work area is not known.
void PlaceBeside(HWND window, HWND beside);

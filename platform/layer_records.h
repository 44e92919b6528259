#pragma once

// The layer's records (windows, icons, OLE), for the back ends: their peers and what they
// let tests observe. Not part of the Win32 subset.

#include "platform/backend.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct WindowRecord {
  HWND handle = nullptr;
  HWND parent = nullptr;
  WNDPROC procedure = nullptr;
  HBRUSH background = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::u16string className;
  std::u16string title;
  RECT bounds{};  // in screen coordinates for top-level windows, else in the parent's
  bool visible = false;
  bool everShown = false;
  bool minimized = false;
  bool destroying = false;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  std::unique_ptr<WindowPeer> peer;
};

// The record of a live window, or null.
WindowRecord* FindWindowRecord(HWND window);

// What a back end tells the layer when the native side changed a window: the client area
// has a new size (WM_SIZE follows when it differs from the record's), the window was
// moved (no message), or it was minimised or restored (WM_SIZE with the size type).
void ClientAreaResized(HWND window, int width, int height);
void WindowMoved(HWND window, int x, int y);
void MinimizedChanged(HWND window, bool minimized);
// Every live window, in creation order.
std::vector<HWND> LiveWindows();

// The file an icon handle was loaded from, its size in pixels and its resource identifier
// (empty for unknown).
struct IconImage {
  std::u16string path;
  int size = 0;
  uintptr_t resource = 0;
};
IconImage IconImageOf(HICON icon);
// Every image of the icon's resource, one handle per size, largest first: a window gives the
// desktop all of them, as a Win32 icon resource holds several sizes.
std::vector<HICON> IconFamilyOf(HICON icon);

// How many OleInitialize calls have not been balanced by OleUninitialize.
int OleInitializationCount();

// The memory block the clipboard holds now (null when it holds none).
HGLOBAL ClipboardData();

// Drops every posted message and a pending quit.
void DiscardQueuedMessages();

// The loop of a modal dialog: dispatches posted messages and waits for events until
// finished() holds (true), or until a quit is taken (false; the quit stays queued for the
// loop outside) or no event can come any more (false).
bool RunModalLoop(const std::function<bool()>& finished);

}  // namespace platform

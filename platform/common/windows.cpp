// Window classes and windows: records in the layer, each with an optional native peer.

#include "platform/common/handle_table.h"
#include "platform/layer_records.h"

#include <algorithm>
#include <map>

namespace platform {
namespace {

constexpr ATOM kFirstAtom = 0xC000;
constexpr RECT kDefaultBounds = {100, 100, 1124, 868};
constexpr int kCascade = 30;

struct WindowClass {
  ATOM atom;
  WNDCLASSEXW definition;
  std::u16string name;
};

// Class names compare without regard to ASCII case, as Win32 compares them.
std::u16string ClassKey(LPCWSTR name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return key;
}

struct WindowState {
  std::map<std::u16string, WindowClass> classes;
  HandleTable<HWND, WindowRecord> windows{0x10000};
  int topLevelCount = 0;
};

WindowState& State() {
  static WindowState state;
  return state;
}

const WindowClass* FindClass(LPCWSTR name) {
  for (const auto& [key, windowClass] : State().classes) {
    if (IS_INTRESOURCE(name) ? windowClass.atom == reinterpret_cast<uintptr_t>(name)
                             : key == ClassKey(name)) {
      return &windowClass;
    }
  }
  return nullptr;
}

LRESULT Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

RECT InitialBounds(DWORD style, int x, int y, int width, int height) {
  const bool child = (style & WS_CHILD) != 0;
  if (child) {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
    return {x, y, x + width, y + height};
  }
  // Each new top-level window with a default position sits a little below the previous.
  const int offset = kCascade * (State().topLevelCount++ % 8);
  if (x == CW_USEDEFAULT) {
    x = kDefaultBounds.left + offset;
    y = kDefaultBounds.top + offset;
  }
  if (width == CW_USEDEFAULT) {
    width = kDefaultBounds.right - kDefaultBounds.left;
    height = kDefaultBounds.bottom - kDefaultBounds.top;
  }
  return {x, y, x + width, y + height};
}

WPARAM SizeType(const WindowRecord& record) {
  return record.minimized ? SIZE_MINIMIZED : SIZE_RESTORED;
}

void SendSize(HWND window) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return;
  const WORD width =
      static_cast<WORD>(record->minimized ? 0 : record->bounds.right - record->bounds.left);
  const WORD height =
      static_cast<WORD>(record->minimized ? 0 : record->bounds.bottom - record->bounds.top);
  SendMessageW(window, WM_SIZE, SizeType(*record), MAKELPARAM(width, height));
}

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  for (const auto& [handle, record] : State().windows.All()) {
    if (record->parent == window) children.push_back(handle);
  }
  return children;
}

// WM_NCDESTROY for the window and its children (children first), then their records go.
void FinishDestroy(HWND window) {
  for (HWND child : ChildrenOf(window)) FinishDestroy(child);
  SendMessageW(window, WM_NCDESTROY, 0, 0);
  State().windows.Remove(window);
}

// WM_DESTROY for the window, then for its children, as Win32 sends it.
void SendDestroy(HWND window) {
  if (WindowRecord* record = FindWindowRecord(window)) record->destroying = true;
  SendMessageW(window, WM_DESTROY, 0, 0);
  for (HWND child : ChildrenOf(window)) SendDestroy(child);
}

void SetText(WindowRecord& record, LPCWSTR text) {
  record.title = text ? text : u"";
  if (record.peer) record.peer->SetTitle(record.title);
}

LRESULT CopyText(const WindowRecord& record, WPARAM maxCount, LPARAM buffer) {
  auto* text = reinterpret_cast<LPWSTR>(buffer);
  if (!text || maxCount == 0) return 0;
  const size_t count = std::min<size_t>(record.title.size(), maxCount - 1);
  std::copy_n(record.title.begin(), count, text);
  text[count] = u'\0';
  return static_cast<LRESULT>(count);
}

LRESULT SetIcon(WindowRecord& record, WPARAM which, LPARAM icon) {
  HICON& slot = which == ICON_BIG ? record.bigIcon : record.smallIcon;
  const HICON previous = slot;
  slot = reinterpret_cast<HICON>(icon);
  if (record.peer) record.peer->SetIcon(which, slot);
  return reinterpret_cast<LRESULT>(previous);
}

}  // namespace

WindowRecord* FindWindowRecord(HWND window) { return State().windows.Find(window); }

void ClientAreaResized(HWND window, int width, int height) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record || (record->bounds.right - record->bounds.left == width &&
                  record->bounds.bottom - record->bounds.top == height)) {
    return;
  }
  record->bounds.right = record->bounds.left + width;
  record->bounds.bottom = record->bounds.top + height;
  SendSize(window);
}

void WindowMoved(HWND window, int x, int y) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return;
  const LONG width = record->bounds.right - record->bounds.left;
  const LONG height = record->bounds.bottom - record->bounds.top;
  record->bounds = {x, y, x + width, y + height};
}

void MinimizedChanged(HWND window, bool minimized) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record || record->minimized == minimized) return;
  record->minimized = minimized;
  SendSize(window);
}

std::vector<HWND> LiveWindows() {
  std::vector<HWND> windows;
  for (const auto& [handle, record] : State().windows.All()) windows.push_back(handle);
  return windows;
}

}  // namespace platform

using platform::FindWindowRecord;
using platform::State;
using platform::WindowRecord;

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
  if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXW) || !windowClass->lpfnWndProc ||
      !windowClass->lpszClassName || IS_INTRESOURCE(windowClass->lpszClassName) ||
      !*windowClass->lpszClassName) {
    return static_cast<ATOM>(platform::Fail(ERROR_INVALID_PARAMETER));
  }
  const std::u16string key = platform::ClassKey(windowClass->lpszClassName);
  if (State().classes.count(key)) {
    return static_cast<ATOM>(platform::Fail(ERROR_CLASS_ALREADY_EXISTS));
  }
  const ATOM atom = static_cast<ATOM>(platform::kFirstAtom + State().classes.size());
  State().classes.emplace(key,
                          platform::WindowClass{atom, *windowClass, windowClass->lpszClassName});
  return atom;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  const platform::WindowClass* windowClass = className ? platform::FindClass(className) : nullptr;
  if (!windowClass) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (parent && !FindWindowRecord(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto record = std::make_unique<WindowRecord>();
  record->parent = parent;
  record->procedure = windowClass->definition.lpfnWndProc;
  record->background = windowClass->definition.hbrBackground;
  record->style = style & ~WS_VISIBLE;
  record->exStyle = exStyle;
  record->className = windowClass->name;
  record->bounds = platform::InitialBounds(style, x, y, width, height);
  const HWND window = State().windows.Add(std::move(record));
  WindowRecord* created = FindWindowRecord(window);
  created->handle = window;
  created->peer = platform::GetBackend().CreatePeer(window, parent, windowName ? windowName : u"");
  if (!created->peer) {
    // No native window can be had (no display): the window is not made.
    State().windows.Remove(window);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }

  CREATESTRUCTW create{param,
                       instance,
                       menu,
                       parent,
                       created->bounds.bottom - created->bounds.top,
                       created->bounds.right - created->bounds.left,
                       created->bounds.top,
                       created->bounds.left,
                       static_cast<LONG>(style),
                       windowName,
                       className,
                       exStyle};
  const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (!SendMessageW(window, WM_NCCREATE, 0, createParam) ||
      SendMessageW(window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  if ((style & WS_VISIBLE) && FindWindowRecord(window)) ShowWindow(window, SW_SHOW);
  return FindWindowRecord(window) ? window : nullptr;
}

BOOL DestroyWindow(HWND window) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record || record->destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (record->visible) ShowWindow(window, SW_HIDE);
  platform::SendDestroy(window);
  platform::FinishDestroy(window);
  return TRUE;
}

BOOL IsWindow(HWND window) { return FindWindowRecord(window) != nullptr; }

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return 0;
  switch (message) {
    case WM_NCCREATE:
      platform::SetText(*record, reinterpret_cast<CREATESTRUCTW*>(lParam)->lpszName);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SETTEXT:
      platform::SetText(*record, reinterpret_cast<LPCWSTR>(lParam));
      return TRUE;
    case WM_GETTEXT:
      return platform::CopyText(*record, wParam, lParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(record->title.size());
    case WM_SETICON:
      return platform::SetIcon(*record, wParam, lParam);
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? record->bigIcon : record->smallIcon);
    case WM_ERASEBKGND:
      // The class brush paints the background; without one nothing is erased.
      return record->background ? 1 : 0;
    default:
      return 0;
  }
}

BOOL ShowWindow(HWND window, int command) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return FALSE;
  const BOOL wasVisible = record->visible ? TRUE : FALSE;
  const bool show = command != SW_HIDE;
  const bool minimize =
      command == SW_MINIMIZE || command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
  const bool sizeChanges = !record->everShown || minimize != record->minimized;
  if (show != record->visible) SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  record = FindWindowRecord(window);
  if (!record) return wasVisible;
  record->visible = show;
  if (show) {
    record->minimized = minimize;
    record->everShown = true;
  }
  if (record->peer) record->peer->SetVisible(show);
  // The first showing sizes the window, as does entering or leaving the minimised state.
  if (show && sizeChanges) platform::SendSize(window);
  return wasVisible;
}

BOOL UpdateWindow(HWND window) { return FindWindowRecord(window) ? TRUE : FALSE; }

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  WindowRecord* record = FindWindowRecord(window);
  if (!record) return static_cast<BOOL>(platform::Fail(ERROR_INVALID_WINDOW_HANDLE));
  record->bounds = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
  if (record->peer) record->peer->SetBounds(record->bounds);
  platform::SendSize(window);
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || !rect) return static_cast<BOOL>(platform::Fail(ERROR_INVALID_WINDOW_HANDLE));
  // Windows have no non-client frame here: the client area is the whole window.
  *rect = {0, 0, record->bounds.right - record->bounds.left,
           record->bounds.bottom - record->bounds.top};
  return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record || !rect) return static_cast<BOOL>(platform::Fail(ERROR_INVALID_WINDOW_HANDLE));
  RECT bounds = record->bounds;
  for (HWND parent = record->parent; const WindowRecord* p = FindWindowRecord(parent);
       parent = p->parent) {
    bounds = {bounds.left + p->bounds.left, bounds.top + p->bounds.top,
              bounds.right + p->bounds.left, bounds.bottom + p->bounds.top};
  }
  *rect = bounds;
  return TRUE;
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID param, UINT) {
  if (action != SPI_GETWORKAREA || !param) {
    return static_cast<BOOL>(platform::Fail(ERROR_INVALID_PARAMETER));
  }
  RECT area{};
  if (!platform::GetBackend().GetWorkArea(area)) {
    return static_cast<BOOL>(platform::Fail(ERROR_INVALID_WINDOW_HANDLE));
  }
  *static_cast<RECT*>(param) = area;
  return TRUE;
}

int GetWindowTextW(HWND window, LPWSTR text, int maxCount) {
  if (!FindWindowRecord(window) || !text || maxCount <= 0) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                       reinterpret_cast<LPARAM>(text)));
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowRecord* record = FindWindowRecord(window);
  if (!record) return platform::Fail(ERROR_INVALID_WINDOW_HANDLE);
  // The procedure may destroy the window, so nothing of the record is used afterwards.
  const WNDPROC procedure = record->procedure;
  return procedure(window, message, wParam, lParam);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
  if (!window || !FindWindowRecord(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // Only posted WM_TIMER messages are kept; a procedure would need a thread of its own.
  if (timerProc || !id || !platform::GetBackend().StartTimer(window, id, elapse)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  return platform::GetBackend().StopTimer(window, id) ? TRUE : FALSE;
}

// The registry of web-view windows and their window procedure.

#include "webview/webkit_window.h"

std::map<HWND, CWebKitWindow*> WindowRegistry;

CWebKitWindow* LookupWindow(HWND window) {
  const auto found = WindowRegistry.find(window);
  return found == WindowRegistry.end() ? nullptr : found->second;
}

CWebKitWindow* LookupWindowOfView(IWebView* webView) {
  OLE_HANDLE host = 0;
  if (!webView || FAILED(webView->hostWindow(&host))) return nullptr;
  return LookupWindow(reinterpret_cast<HWND>(host));
}

void TearDownWebView(CWebKitWindow& window) {
  IWebView* webView = window.m_webView;
  if (!webView) return;
  webView->setHostWindow(0);
  webView->setResourceLoadDelegate(nullptr);
  webView->setFrameLoadDelegate(nullptr);
  webView->setPolicyDelegate(nullptr);
  webView->setUIDelegate(nullptr);
  webView->close();
  webView->Release();
  window.m_webView = nullptr;
}

void CloseAllWindows() {
  std::vector<HWND> windows;
  for (const auto& [handle, window] : WindowRegistry) windows.push_back(handle);
  for (HWND handle : windows) PostMessageW(handle, WM_DESTROY, 0, 0);
}

namespace {

std::vector<std::u16string> DroppedPaths(HDROP drop) {
  std::vector<std::u16string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::u16string path(length + 1, u'\0');
    DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    paths.push_back(path);
  }
  return paths;
}

void TearDown(HWND handle, CWebKitWindow& window) {
  window.OnDestroy();
  TearDownWebView(window);
  WindowRegistry.erase(handle);
  // The last window ends the run.
  if (WindowRegistry.empty()) {
    shutDownWebKit();
    PostQuitMessage(0);
  }
}

}  // namespace

LRESULT CALLBACK WebKitWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  CWebKitWindow* window = LookupWindow(handle);
  switch (message) {
    case WM_CREATE: {
      const auto create = reinterpret_cast<LPCREATESTRUCTW>(lParam);
      auto* created = static_cast<CWebKitWindow*>(create->lpCreateParams);
      if (created) {
        WindowRegistry[handle] = created;
        created->OnCreate(create);
      }
      break;
    }
    case WM_SIZE:
      if (window) window->OnSize(wParam, LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_SETFOCUS:
      if (window) window->OnSetFocus(reinterpret_cast<HWND>(wParam));
      break;
    case WM_KILLFOCUS:
      if (window) window->OnKillFocus(reinterpret_cast<HWND>(wParam));
      break;
    case WM_TIMER:
      if (window) window->OnTimer(wParam);
      break;
    case WM_CLOSE:
      // A window that stays open is not destroyed by default processing either.
      if (window && !window->CanClose()) return 0;
      if (window) window->OnClose();
      break;
    case WM_DESTROY:
      if (window) TearDown(handle, *window);
      break;
    case WM_ERASEBKGND:
      // The web view paints the whole client area.
      return 1;
    case WM_DROPFILES: {
      const HDROP drop = reinterpret_cast<HDROP>(wParam);
      const std::vector<std::u16string> paths = DroppedPaths(drop);
      if (window) window->OnDropFiles(drop, paths);
      DragFinish(drop);
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(handle, message, wParam, lParam);
}

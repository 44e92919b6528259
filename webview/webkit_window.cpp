// The default operations of a web-view window: most do nothing; the chrome defaults
// (new windows to the shell, frame moves, the trimmed context menu, script dialogs) act
// on the top-level window.

#include "webview/webkit_window.h"

#include <cstdio>
#include <set>

namespace {

// Copy, back, forward, stop, cut and paste stay in the context menu; nothing else does.
const std::set<UINT> kKeptMenuItems = {WebMenuItemTagCopy,      WebMenuItemTagGoBack,
                                       WebMenuItemTagGoForward, WebMenuItemTagStop,
                                       WebMenuItemTagCut,       WebMenuItemTagPaste};

constexpr int kCaptionLength = 512;

UINT MenuItemId(HMENU menu, int position) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
  return GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) ? info.wID : 0;
}

void ReportFailedRemoval(int position, DWORD error) {
  char text[256];
  std::snprintf(text, sizeof text, "RemoveMenu() failed, i = %d, err = %d\n", position,
                static_cast<int>(error));
  WCHAR wide[256] = {};
  for (size_t i = 0; text[i] && i + 1 < 256; ++i) wide[i] = static_cast<WCHAR>(text[i]);
  OutputDebugStringW(wide);
}

}  // namespace

void CWebKitWindow::OnCreate(LPCREATESTRUCTW) {}

void CWebKitWindow::OnSize(WPARAM, int, int) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  MoveWindow(m_hViewWnd, 0, 0, client.right - client.left, client.bottom - client.top, TRUE);
}

void CWebKitWindow::OnTimer(UINT_PTR) {}
void CWebKitWindow::OnSetFocus(HWND) {}
void CWebKitWindow::OnKillFocus(HWND) {}
void CWebKitWindow::OnDropFiles(HDROP, const std::vector<std::u16string>&) {}
void CWebKitWindow::OnClose() {}
bool CWebKitWindow::CanClose() { return true; }
void CWebKitWindow::OnDestroy() {}
void CWebKitWindow::OnLoadFinished(BSTR) {}
void CWebKitWindow::OnLoadFailed(IWebError*, IWebFrame*) {}
void CWebKitWindow::OnProvisionalLoadFailed(IWebError*, IWebFrame*) {}
void CWebKitWindow::OnProgressStarted() {}
void CWebKitWindow::OnProgressChanged(int) {}
void CWebKitWindow::OnProgressFinished() {}

bool CWebKitWindow::OnWindowObjectCleared(js::JSContextRef, js::JSObjectRef, IWebFrame*) {
  return false;
}

void CWebKitWindow::OnNewWindowRequest(BSTR url, BSTR) {
  ShellExecuteW(nullptr, u"open", url, nullptr, nullptr, SW_SHOW);
}

void CWebKitWindow::OnCreateWebView(BSTR, IWebView**) {}

void CWebKitWindow::SetFrame(RECT* rect) {
  if (rect) {
    MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               FALSE);
  }
}

void CWebKitWindow::GetFrame(RECT* rect) {
  if (rect) GetWindowRect(m_hWnd, rect);
}

void CWebKitWindow::OnContextMenu(IPropertyBag*, HMENU menu, HMENU* result) {
  const int count = GetMenuItemCount(menu);
  std::set<int> removals;
  for (int position = 0; position < count; ++position) {
    if (!kKeptMenuItems.count(MenuItemId(menu, position))) removals.insert(position);
  }
  // From the highest position down, so that the positions still to go stay valid.
  for (auto it = removals.rbegin(); it != removals.rend(); ++it) {
    if (!RemoveMenu(menu, static_cast<UINT>(*it), MF_BYPOSITION)) {
      ReportFailedRemoval(*it, GetLastError());
    }
  }
  if (result) *result = menu;
}

void CWebKitWindow::OnAlert(BSTR message) {
  WCHAR caption[kCaptionLength] = {};
  GetWindowTextW(m_hWnd, caption, kCaptionLength);
  ReleaseCapture();
  MessageBoxW(m_hWnd, message, caption, MB_OK);
}

void CWebKitWindow::OnConfirm(BSTR message, BOOL* result) {
  WCHAR caption[kCaptionLength] = {};
  GetWindowTextW(m_hWnd, caption, kCaptionLength);
  ReleaseCapture();
  const int answer = MessageBoxW(m_hWnd, message, caption, MB_YESNO | MB_SETFOREGROUND);
  if (result) *result = answer == IDYES ? TRUE : FALSE;
}

#include "finder/my_window.h"

#include "app/my_app.h"

namespace {

constexpr int kTitleLength = 256;

// The application owns the window from now on.
void KeepPopup(CMyWindow* window) {
  if (g_pApp) {
    g_pApp->m_popupWindows.push_back(window);
  } else {
    delete window;
  }
}

}  // namespace

void CMyWindow::OnCreate(LPCREATESTRUCTW) {
  if (m_webView) m_webView->setResourceLoadDelegate(&m_resourceLoadDelegate);
}

CMyWindow* CMyWindow::OpenPopup() {
  auto* window = new CMyWindow();
  WCHAR title[kTitleLength] = {};
  GetWindowTextW(m_hWnd, title, kTitleLength);
  // A failed creation is not acted on: the object is listed all the same.
  window->Create(title, m_hInstance);
  window->SetIcons();
  ShowWindow(window->m_hWnd, SW_SHOW);
  return window;
}

void CMyWindow::OnNewWindowRequest(BSTR url, BSTR) {
  CMyWindow* window = OpenPopup();
  window->LoadUrl(url);
  KeepPopup(window);
}

void CMyWindow::OnCreateWebView(BSTR, IWebView** newWebView) {
  CMyWindow* window = OpenPopup();
  if (newWebView) {
    // The engine gets a reference of its own; the window keeps its own.
    *newWebView = window->m_webView;
    if (*newWebView) (*newWebView)->AddRef();
  }
  KeepPopup(window);
}

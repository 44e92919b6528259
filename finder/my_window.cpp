#include "finder/my_window.h"

#include "app/my_app.h"
#include "finder/result_reporting.h"
#include "finder/text/text_conversion.h"
#include "webview/com_ptr.h"

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

// The search running in the main browsing window, when this is that window.
FinderState* SearchOf(const CMyWindow* window) {
  if (!g_pApp || window != &g_pApp->m_myWindow || !g_pApp->m_localWindow.m_running) {
    return nullptr;
  }
  return &g_pApp->m_localWindow;
}

void ReportFailure(const CMyWindow* window, IWebError* error) {
  FinderState* state = SearchOf(window);
  int code = 0;
  // A load cancelled by the next search's is no outcome of either.
  if (!state || (error && SUCCEEDED(error->code(&code)) && code == WebURLErrorCancelled)) return;
  ScopedBstr url;
  ScopedBstr text;
  if (error) {
    error->failingURL(url.Receive());
    error->localizedDescription(text.Receive());
  }
  const std::string reason = Utf8Of(text.Get());
  ReportPageLoad(*state, Utf8Of(url.Get()),
                 reason.empty() ? "The page could not be loaded" : reason);
}

}  // namespace

void CMyWindow::OnLoadFinished(BSTR url) {
  FinderState* state = SearchOf(this);
  if (!state) return;
  const std::string loaded = Utf8Of(url);
  // WebKit answers an address it will not connect to (a restricted port) with an empty page.
  const bool refused = loaded == "about:blank" && !state->m_searches.empty() &&
                       state->m_searches.back().url != loaded;
  ReportPageLoad(*state, refused ? state->m_searches.back().url : loaded,
                 refused ? "Nothing was loaded: the engine refused the address (a restricted port?)"
                         : std::string());
}

void CMyWindow::OnLoadFailed(IWebError* error, IWebFrame*) { ReportFailure(this, error); }

void CMyWindow::OnProvisionalLoadFailed(IWebError* error, IWebFrame*) {
  ReportFailure(this, error);
}

void CMyWindow::OnCreate(LPCREATESTRUCTW) {
  if (m_webView) m_webView->setResourceLoadDelegate(&m_resourceLoadDelegate);
}

CMyWindow* CMyWindow::OpenPopup() {
  auto* window = new CMyWindow();
  if (g_pApp) window->m_resourceLoadDelegate.m_window = ++g_pApp->m_localWindow.m_windowsOpened;
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

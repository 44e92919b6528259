#include "finder/my_window.h"

#include "app/my_app.h"
#include "finder/result_reporting.h"
#include "finder/text/text_conversion.h"
#include "finder/text/web_address.h"
#include "finder/window_placement.h"
#include "webview/com_ptr.h"

#include <algorithm>

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

// A page whose certificate nobody vouches for marks its origin: its rows say so, those
// listed already too.
void NoteCertificate(IWebView* view, const std::string& url) {
  ComPtr<IWebViewPrivate> engine;
  UINT errors = 0;
  if (!g_pApp || !view || FAILED(view->QueryInterface(IID_IWebViewPrivate, engine.ReceiveVoid())) ||
      !engine || FAILED(engine->mainFrameCertificateErrors(&errors)) || !errors) {
    return;
  }
  FinderState& state = g_pApp->m_localWindow;
  const std::string origin = OriginOf(url);
  if (origin.empty() || !state.m_untrustedOrigins.insert(origin).second) return;
  for (RequestRecord& record : state.m_records) {
    if (record.untrustedCertificate || OriginOf(record.url) != origin) continue;
    record.untrustedCertificate = true;
    UpdateReported(state, record.id);
  }
}

// Whether the running search's pages may open another window; when they may not, the window
// they asked for is a row of its own, blocked, and the page hears how many were.
bool MayOpen(const std::string& url, int search) {
  if (!g_pApp) return true;
  FinderState& state = g_pApp->m_localWindow;
  if (!state.m_running || state.m_windowsOpened < state.m_windowsAllowed) return true;
  RequestRecord record = RecordStartingNow(state, search);
  record.url = url;
  record.blocked = true;
  record.finished = true;
  ReportFailedRequest(state, std::move(record));
  Json::Value blocked(Json::objectValue);
  blocked["blocked"] = ++state.m_windowsBlocked;
  blocked["allowed"] = state.m_windowsAllowed;
  TellPage("windowsBlocked", blocked);
  return false;
}

// The number of a new window among those its search's pages opened: the count of the
// latest search, or of the numbered search's own windows (a run of several at once).
int NextWindowNumber(int search) {
  const int opened = ++g_pApp->m_localWindow.m_windowsOpened;
  if (!search) return opened;
  const auto& popups = g_pApp->m_popupWindows;
  return 1 + static_cast<int>(
                 std::count_if(popups.begin(), popups.end(), [search](const CMyWindow* popup) {
                   return popup->m_resourceLoadDelegate.m_search == search;
                 }));
}

}  // namespace

void CMyWindow::OnLoadFinished(BSTR url) {
  const std::string loaded = Utf8Of(url);
  NoteCertificate(m_webView, loaded);
  FinderState* state = SearchOf(this);
  if (!state) return;
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
  const int search = m_resourceLoadDelegate.m_search;
  if (g_pApp) window->m_resourceLoadDelegate.m_window = NextWindowNumber(search);
  window->m_resourceLoadDelegate.m_search = search;
  window->m_besideUi = m_besideUi;
  WCHAR title[kTitleLength] = {};
  GetWindowTextW(m_hWnd, title, kTitleLength);
  // A failed creation is not acted on: the object is listed all the same.
  window->Create(title, m_hInstance);
  if (m_besideUi) {
    window->SetIcons();
    // Where the browsing window goes: the list stays in sight.
    if (g_pApp) PlaceBeside(window->m_hWnd, g_pApp->m_localWindow.m_hWnd);
  }
  ShowWindow(window->m_hWnd, SW_SHOW);
  return window;
}

void CMyWindow::OnNewWindowRequest(BSTR url, BSTR) {
  if (!MayOpen(Utf8Of(url), m_resourceLoadDelegate.m_search)) return;
  CMyWindow* window = OpenPopup();
  window->LoadUrl(url);
  KeepPopup(window);
}

void CMyWindow::OnCreateWebView(BSTR url, IWebView** newWebView) {
  if (newWebView) *newWebView = nullptr;
  if (!MayOpen(Utf8Of(url), m_resourceLoadDelegate.m_search)) return;
  CMyWindow* window = OpenPopup();
  if (newWebView) {
    // The engine gets a reference of its own; the window keeps its own.
    *newWebView = window->m_webView;
    if (*newWebView) (*newWebView)->AddRef();
  }
  KeepPopup(window);
}

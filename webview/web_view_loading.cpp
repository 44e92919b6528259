// Creating a window's web view and loading pages into it.

#include "webview/com_ptr.h"
#include "webview/webkit_window.h"

#include "webview/address.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr WORD kIconResource = 101;
constexpr DWORD kUrlLength = 2084;
constexpr double kLoadTimeoutSeconds = 60.0;

const WCHAR* const kProgressNotifications[] = {
    u"WebProgressStartedNotification",
    u"WebProgressEstimateChangedNotification",
    u"WebProgressFinishedNotification",
};

// The URL to load for a text: a local file or UNC path as its file URL, anything else as
// a normalised address. False when a path cannot be converted.
bool UrlFor(const WCHAR* text, std::u16string& url) {
  if (!PathFileExistsW(text) && !PathIsUNCW(text)) {
    url = NormalizeUrl(text);
    return true;
  }
  WCHAR buffer[kUrlLength] = {};
  DWORD length = kUrlLength;
  const HRESULT result = UrlCreateFromPathW(text, buffer, &length, 0);
  if (result != S_OK && result != S_FALSE) return false;
  url = buffer;
  return true;
}

}  // namespace

namespace {

// Registers the window's observer for the three progress notifications of its view.
bool AddProgressObservers(CWebKitWindow& window) {
  for (const WCHAR* name : kProgressNotifications) {
    ScopedBstr text(name);
    if (FAILED(window.m_notificationCenter->addObserver(&window.m_notificationObserver, text.Get(),
                                                        window.m_webView))) {
      return false;
    }
  }
  return true;
}

// Takes back what a failed Create took, so that the window has no web view and a later
// Create starts afresh: the registrations made so far, the center reference, and the web
// view. A native window made by this Create is destroyed, which tears the view down the
// way every window's teardown does.
void UndoCreate(CWebKitWindow& window, HWND madeWindow) {
  if (window.m_notificationCenter && window.m_webView) {
    for (const WCHAR* name : kProgressNotifications) {
      ScopedBstr text(name);
      window.m_notificationCenter->removeObserver(&window.m_notificationObserver, text.Get(),
                                                  window.m_webView);
    }
  }
  if (window.m_notificationCenter) std::exchange(window.m_notificationCenter, nullptr)->Release();
  if (madeWindow && IsWindow(madeWindow)) DestroyWindow(madeWindow);
  TearDownWebView(window);
}

}  // namespace

bool CWebKitWindow::Create(const WCHAR* title, HINSTANCE instance) {
  HWND madeWindow = nullptr;
  if (CreateParts(title, instance, madeWindow)) return true;
  UndoCreate(*this, madeWindow);
  return false;
}

bool CWebKitWindow::CreateParts(const WCHAR* title, HINSTANCE instance, HWND& madeWindow) {
  if (FAILED(WebKitCreateInstance(CLSID_WebView, nullptr, IID_IWebView,
                                  reinterpret_cast<void**>(&m_webView)))) {
    return false;
  }
  ComPtr<IWebViewPrivate> viewPrivate;
  if (FAILED(m_webView->QueryInterface(IID_IWebViewPrivate, viewPrivate.ReceiveVoid()))) {
    return false;
  }
  m_webView->setFrameLoadDelegate(&m_frameLoadDelegate);
  m_webView->setUIDelegate(&m_uiDelegate);
  m_webView->setPolicyDelegate(&m_policyDelegate);

  // A window made again lets go of the center reference its earlier creation took.
  if (m_notificationCenter) std::exchange(m_notificationCenter, nullptr)->Release();
  ComPtr<IWebNotificationCenter> center;
  if (FAILED(WebKitCreateInstance(CLSID_WebNotificationCenter, nullptr, IID_IWebNotificationCenter,
                                  center.ReceiveVoid())) ||
      FAILED(center->defaultCenter(&m_notificationCenter)) || !m_notificationCenter ||
      !AddProgressObservers(*this)) {
    return false;
  }

  // The window procedure registers the window and calls OnCreate during this call, so a
  // browsing window's resource-load delegate is in place before the view is initialised.
  m_hInstance = instance;
  m_hWnd = CreateWindowExW(0, kWebKitWindowClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                           CW_USEDEFAULT, 0, nullptr, nullptr, instance, this);
  madeWindow = m_hWnd;
  if (!m_hWnd) return false;
  if (FAILED(m_webView->setHostWindow(reinterpret_cast<OLE_HANDLE>(m_hWnd)))) return false;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (FAILED(m_webView->initWithFrame(client, nullptr, nullptr))) return false;
  OLE_HANDLE viewWindow = 0;
  if (FAILED(viewPrivate->viewWindow(&viewWindow)) || !viewWindow) return false;
  m_hViewWnd = reinterpret_cast<HWND>(viewWindow);
  // Drops over the page go to the top-level window, if that accepts files.
  DragAcceptFiles(m_hViewWnd, FALSE);
  return true;
}

bool CWebKitWindow::SetIcons() {
  const HANDLE big =
      LoadImageW(m_hInstance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
  const HANDLE small =
      LoadImageW(m_hInstance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
  if (!m_hWnd) return false;
  if (big) SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  return true;
}

bool CWebKitWindow::LoadUrl(const WCHAR* text) {
  if (!m_webView || !text) return true;
  std::u16string url;
  if (!UrlFor(text, url)) return true;
  ScopedBstr urlText(url);
  ScopedBstr method(u"GET");
  ComPtr<IWebFrame> frame;
  ComPtr<IWebMutableURLRequest> request;
  if (FAILED(m_webView->mainFrame(frame.Receive())) || !frame ||
      FAILED(WebKitCreateInstance(CLSID_WebMutableURLRequest, nullptr, IID_IWebMutableURLRequest,
                                  request.ReceiveVoid())) ||
      FAILED(request->initWithURL(urlText.Get(), WebURLRequestUseProtocolCachePolicy,
                                  kLoadTimeoutSeconds))) {
    return true;
  }
  // Every load accepts any HTTPS certificate.
  request->setAllowsAnyHTTPSCertificate();
  if (FAILED(request->setHTTPMethod(method.Get()))) return true;
  if (SUCCEEDED(frame->loadRequest(request.Get()))) {
    ShowWindow(m_hViewWnd, SW_SHOW);
    UpdateWindow(m_hViewWnd);
  }
  return true;
}

bool CWebKitWindow::LoadUrlUtf8(const char* text) {
  if (!m_webView || !text || !*text) return false;
  const size_t length = std::strlen(text);
  if (length >= 0x7FFFFFFF) return false;
  std::unique_ptr<WCHAR[]> buffer(new (std::nothrow) WCHAR[length + 1]());
  if (!buffer) return false;
  MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), buffer.get(),
                      static_cast<int>(length + 1));
  const std::u16string wide(buffer.get());
  return LoadUrl(wide.c_str());
}

js::JSGlobalContextRef CWebKitWindow::GetGlobalContext() {
  if (!m_webView) return nullptr;
  ComPtr<IWebFrame> frame;
  if (FAILED(m_webView->mainFrame(frame.Receive())) || !frame) return nullptr;
  return frame->globalContext();
}

js::JSObjectRef CWebKitWindow::GetGlobalObject() {
  const js::JSGlobalContextRef context = GetGlobalContext();
  return context ? js::JSContextGetGlobalObject(context) : nullptr;
}

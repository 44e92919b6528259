#include "engine/webkitgtk/web_view_gtk.h"

#include "engine/remote_script/host/remote_script.h"
#include "engine/webkitgtk/context_menu_gtk.h"
#include "engine/webkitgtk/download_gtk.h"
#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"
#include "engine/webkitgtk/http_facts_gtk.h"
#include "engine/webkitgtk/notification_center_gtk.h"
#include "engine/webkitgtk/page_requests_gtk.h"
#include "engine/webkitgtk/resource_body_gtk.h"
#include "engine/webkitgtk/session_cookies_gtk.h"
#include "engine/webkitgtk/url_request_gtk.h"
#include "engine/webkitgtk/url_response_gtk.h"
#include "engine/webkitgtk/web_frame_gtk.h"
#include "platform/gtk/peer_widget.h"
#include "platform/gtk/signal_thunk.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace webkitgtk {
namespace {

const char16_t kViewClass[] = u"TrawlerWebView";
// A page whose web process ended is loaded again, at once the first time; each further
// end within kCrashMemory of the one before waits twice as long as the last, from
// kFirstCrashPause up to kLongestCrashPause, so a page that keeps crashing neither spins
// nor stays dead.
constexpr gint64 kCrashMemory = 30 * G_USEC_PER_SEC;
constexpr guint kFirstCrashPause = 250;  // milliseconds
constexpr guint kLongestCrashPause = 30000;

guint CrashPause(int crashesInARow) {
  if (crashesInARow <= 1) return 0;
  const int doublings = std::min(crashesInARow - 2, 16);
  return std::min(kFirstCrashPause << doublings, kLongestCrashPause);
}

// The views alive now, in the order they were made.
std::vector<WebViewGtk*>& LiveViews() {
  static std::vector<WebViewGtk*>* views = new std::vector<WebViewGtk*>();
  return *views;
}

// The view inside whose "create" signal or new-window decision a view is being made: the
// new one is made related to it.
WebViewGtk* g_opener = nullptr;

// A new window object in the UI page reaches the frame-load delegate of the view whose page
// it is. The view is found first and called once, outside the loop: the delegate may close
// views.
void ReportWindowObject(uint64_t page, uint64_t, bool, js::JSGlobalContextRef context,
                        js::JSObjectRef windowObject) {
  const std::vector<WebViewGtk*>& views = LiveViews();
  const auto found = std::find_if(views.begin(), views.end(),
                                  [page](WebViewGtk* view) { return view->PageId() == page; });
  if (found != views.end()) (*found)->WindowObjectCleared(context, windowObject);
}

// Held around every delegate call: the view outlives a delegate that closes it, and the
// page values the delegate obtains stay valid until the call returns.
class DelegateCall {
 public:
  explicit DelegateCall(IWebView* view) : m_keep(ComPtr<IWebView>::Share(view)) {}

 private:
  ComPtr<IWebView> m_keep;
  remote_script::ScopedCall m_scope;
};

// While it lives, the views made are made as the view's new windows.
class OpenerScope {
 public:
  explicit OpenerScope(WebViewGtk* view) : m_outer(std::exchange(g_opener, view)) {}
  ~OpenerScope() { g_opener = m_outer; }
  OpenerScope(const OpenerScope&) = delete;
  OpenerScope& operator=(const OpenerScope&) = delete;

 private:
  WebViewGtk* m_outer;
};

LRESULT CALLBACK ViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterViewClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ViewWindowProc;
    windowClass.lpszClassName = kViewClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

WebKitWebView* NewWidget() {
  EngineGtk& engine = EngineGtk::Get();
  // A view made for a page's new window shares its opener's web process and settings.
  if (g_opener) {
    WebKitWebView* opener = g_opener->Widget();
    return WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", opener, "settings",
                                        webkit_web_view_get_settings(opener), nullptr));
  }
  WebKitWebContext* context = engine.ContextForNewView();
  return WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings",
                                      engine.SettingsOf(context), nullptr));
}

}  // namespace

WebViewGtk::WebViewGtk()
    : m_view(NewWidget()), m_frame(ComPtr<WebFrameGtk>::Adopt(new WebFrameGtk(this))) {
  remote_script::SetWindowObjectHandler(ReportWindowObject);
  LiveViews().push_back(this);
  Connect();
  DecidePageRequests(m_view.Get());
}

WebViewGtk::~WebViewGtk() {
  close();
  // The frame may outlive the view in a caller's hands; it does nothing from now on.
  m_frame->Detach();
}

void WebViewGtk::Connect() {
  WebKitWebView* view = m_view.Get();
  ConnectSignal<&WebViewGtk::LoadChanged>(view, "load-changed", this);
  ConnectSignal<&WebViewGtk::LoadFailed>(view, "load-failed", this);
  ConnectSignal<&WebViewGtk::ProgressChanged>(view, "notify::estimated-load-progress", this);
  ConnectSignal<&WebViewGtk::DecidePolicy>(view, "decide-policy", this);
  ConnectSignal<&WebViewGtk::CreateView>(view, "create", this);
  ConnectSignal<&WebViewGtk::ScriptDialog>(view, "script-dialog", this);
  ConnectSignal<&WebViewGtk::ContextMenu>(view, "context-menu", this);
  ConnectSignal<&WebViewGtk::ResourceLoadStarted>(view, "resource-load-started", this);
  ConnectSignal<&WebViewGtk::PageSetGeometry>(webkit_web_view_get_window_properties(view),
                                              "notify::geometry", this);
  ConnectSignal<&WebViewGtk::ReadyToShow>(view, "ready-to-show", this);
  ConnectSignal<&WebViewGtk::ProcessTerminated>(view, "web-process-terminated", this);
}

HRESULT WebViewGtk::initWithFrame(RECT frame, BSTR, BSTR) {
  if (!m_host || m_window || m_closed || !RegisterViewClass()) return E_FAIL;
  // Visible from the start: a view made for a page's window.open is loaded by WebKit, and
  // nobody else would show it.
  m_window = CreateWindowExW(0, kViewClass, u"", WS_CHILD | WS_VISIBLE, frame.left, frame.top,
                             frame.right - frame.left, frame.bottom - frame.top, m_host, nullptr,
                             nullptr, nullptr);
  if (!m_window || !platform::gtk::PlaceWidget(m_window, GTK_WIDGET(m_view.Get()))) return E_FAIL;
  // The page takes the keys its window receives.
  gtk_widget_grab_focus(GTK_WIDGET(m_view.Get()));
  // A UI delegate that allows no drag-destination action keeps drops off the page, so they
  // reach the top-level window.
  WebDragDestinationAction mask = ~WebDragDestinationAction{0};
  if (m_uiDelegate &&
      SUCCEEDED(m_uiDelegate->dragDestinationActionMaskForDraggingInfo(this, nullptr, &mask)) &&
      mask == WebDragDestinationActionNone) {
    gtk_drag_dest_unset(GTK_WIDGET(m_view.Get()));
  }
  return S_OK;
}

HRESULT WebViewGtk::mainFrame(IWebFrame** frame) {
  if (!frame) return E_POINTER;
  *frame = m_frame.Get();
  m_frame->AddRef();
  return S_OK;
}

HRESULT WebViewGtk::setHostWindow(OLE_HANDLE window) {
  m_host = reinterpret_cast<HWND>(window);
  return S_OK;
}

HRESULT WebViewGtk::estimatedProgress(double* estimatedProgress) {
  if (!estimatedProgress) return E_POINTER;
  *estimatedProgress = webkit_web_view_get_estimated_load_progress(m_view.Get());
  return S_OK;
}

HRESULT WebViewGtk::mainFrameURL(BSTR* urlString) {
  return Answer(urlString, Utf16Of(webkit_web_view_get_uri(m_view.Get())));
}

HRESULT WebViewGtk::cookiesForRequest(IWebURLRequest* request, IWebCookiesListener* listener) {
  if (!request || !listener) return E_POINTER;
  if (!m_view) return E_FAIL;
  const auto* asked = dynamic_cast<URLRequestGtk*>(request);
  if (!asked) return E_INVALIDARG;
  const std::u16string address = asked->Url();
  ReadRequestCookies(
      CookieManager(), platform::Utf8(address), platform::Utf8(asked->MainDocumentUrl()), nullptr,
      [address,
       heard = ComPtr<IWebCookiesListener>::Share(listener)](const RequestCookies& cookies) {
        ScopedBstr url(address);
        ScopedBstr header(Utf16Of(cookies.header.c_str()));
        ScopedBstr lines(Utf16Of(cookies.lines.c_str()));
        heard->didReceiveCookies(url.Get(), header.Get(), lines.Get());
      });
  return S_OK;
}

WebKitCookieManager* WebViewGtk::CookieManager() const {
  return webkit_web_context_get_cookie_manager(webkit_web_view_get_context(m_view.Get()));
}

HRESULT WebViewGtk::resourceBodyForIdentifier(unsigned long identifier, UINT mostBytes,
                                              IWebResourceBodyListener* listener) {
  if (!listener) return E_POINTER;
  for (auto& [resource, tracked] : m_resources) {
    if (tracked.identifier != identifier) continue;
    tracked.bodyListener = ComPtr<IWebResourceBodyListener>::Share(listener);
    tracked.mostBodyBytes = mostBytes;
    return S_OK;
  }
  TellNoBody(identifier, listener);
  return S_OK;
}

HRESULT WebViewGtk::downloadRequest(IWebURLRequest* request, IWebDownloadDelegate* delegate,
                                    IWebDownload** download) {
  if (!request || !delegate || !download) return E_POINTER;
  *download = nullptr;
  if (!m_view) return E_FAIL;
  const auto* asked = dynamic_cast<URLRequestGtk*>(request);
  const std::string url = asked ? platform::Utf8(asked->Url()) : std::string();
  const bool web =
      g_str_has_prefix(url.c_str(), "http://") || g_str_has_prefix(url.c_str(), "https://");
  if (!asked || asked->Method() != u"GET" || !web) return E_INVALIDARG;
  const char* agent = webkit_settings_get_user_agent(webkit_web_view_get_settings(m_view.Get()));
  WebKitWebsiteDataManager* data =
      webkit_web_context_get_website_data_manager(webkit_web_view_get_context(m_view.Get()));
  const bool anyCertificate =
      webkit_website_data_manager_get_tls_errors_policy(data) == WEBKIT_TLS_ERRORS_POLICY_IGNORE;
  auto started = ComPtr<DownloadGtk>::Adopt(
      new DownloadGtk(CookieManager(), *asked, agent ? agent : "", anyCertificate, delegate));
  started->Start();
  *download = started.Get();
  started->AddRef();
  return S_OK;
}

HRESULT WebViewGtk::mainFrameCertificateErrors(UINT* errors) {
  if (!errors) return E_POINTER;
  *errors = 0;
  GTlsCertificate* certificate = nullptr;
  GTlsCertificateFlags flags = GTlsCertificateFlags(0);
  // The flags have the interface's values, bit for bit.
  if (m_view && webkit_web_view_get_tls_info(m_view.Get(), &certificate, &flags)) {
    *errors = static_cast<UINT>(flags) & 0x7F;
  }
  return S_OK;
}

HRESULT WebViewGtk::viewWindow(OLE_HANDLE* window) {
  if (!window) return E_POINTER;
  *window = reinterpret_cast<OLE_HANDLE>(m_window);
  return S_OK;
}

HRESULT WebViewGtk::close() {
  if (m_closed) return S_OK;
  m_closed = true;
  if (m_crashReload) g_source_remove(std::exchange(m_crashReload, 0));
  NotificationCenterGtk::Default().RemoveObserversOf(static_cast<IWebView*>(this));
  g_signal_handlers_disconnect_by_data(m_view.Get(), this);
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_window_properties(m_view.Get()), this);
  for (const auto& [resource, tracked] : m_resources) {
    g_signal_handlers_disconnect_by_data(resource, this);
  }
  m_resources.clear();
  ReleaseDelegates();
  webkit_web_view_stop_loading(m_view.Get());
  // The child window's peer takes the widget out of the window with it; the widget itself
  // ends with the last reference (WebKit holds one while it emits a signal).
  if (m_window && IsWindow(m_window)) DestroyWindow(m_window);
  m_window = nullptr;
  auto& views = LiveViews();
  views.erase(std::remove(views.begin(), views.end(), this), views.end());
  return S_OK;
}

HRESULT WebViewGtk::Load(const URLRequestGtk& request) {
  const std::string url = platform::Utf8(request.Url());
  if (m_closed || url.empty()) return E_INVALIDARG;
  // A new load replaces the one that would bring back the page of a crashed process.
  if (m_crashReload) g_source_remove(std::exchange(m_crashReload, 0));
  GObjectPtr<WebKitURIRequest> uriRequest(webkit_uri_request_new(url.c_str()));
  webkit_web_view_load_request(m_view.Get(), uriRequest.Get());
  return S_OK;
}

uint64_t WebViewGtk::PageId() const { return webkit_web_view_get_page_id(m_view.Get()); }

js::JSGlobalContextRef WebViewGtk::PageContext() const {
  const bool hasAgent = EngineGtk::Get().IsUiContext(webkit_web_view_get_context(m_view.Get()));
  return hasAgent && !m_closed ? remote_script::MainFrameContext(PageId()) : nullptr;
}

void WebViewGtk::WindowObjectCleared(js::JSGlobalContextRef context, js::JSObjectRef windowObject) {
  if (!m_frameLoadDelegate) return;
  DelegateCall call(this);
  m_frameLoadDelegate->didClearWindowObject(this, context, windowObject, m_frame.Get());
}

void WebViewGtk::Post(const char16_t* notification) {
  DelegateCall call(this);
  NotificationCenterGtk::Default().Post(notification, static_cast<IWebView*>(this));
}

void WebViewGtk::ProgressChanged(GObject*, GParamSpec*) {
  Post(u"WebProgressEstimateChangedNotification");
}

void WebViewGtk::LoadChanged(WebKitWebView*, WebKitLoadEvent event) {
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      m_committed = m_failed = false;
      Post(u"WebProgressStartedNotification");
      return;
    case WEBKIT_LOAD_COMMITTED:
      m_committed = true;
      return;
    case WEBKIT_LOAD_FINISHED:
      if (m_frameLoadDelegate && !m_failed) {
        DelegateCall call(this);
        m_frameLoadDelegate->didFinishLoadForFrame(this, m_frame.Get());
      }
      Post(u"WebProgressFinishedNotification");
      return;
    default:
      return;
  }
}

gboolean WebViewGtk::LoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* failingUri,
                                GError* failure) {
  m_failed = true;
  // The delegate tells of the failure: WebKit's own error page, a page (and a resource) of
  // its own, is not shown.
  if (!m_frameLoadDelegate) return TRUE;
  DelegateCall call(this);
  ComPtr<IWebError> error = ComPtr<IWebError>::Adopt(new WebErrorGtk(failure, failingUri));
  if (m_committed || event == WEBKIT_LOAD_COMMITTED) {
    m_frameLoadDelegate->didFailLoadWithError(this, error.Get(), m_frame.Get());
  } else {
    m_frameLoadDelegate->didFailProvisionalLoadWithError(this, error.Get(), m_frame.Get());
  }
  return TRUE;
}

gboolean WebViewGtk::DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                  WebKitPolicyDecisionType type) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION || !m_policyDelegate) return false;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const WebKitNavigationType navigation = webkit_navigation_action_get_navigation_type(action);
  // A link or a form that targets a new window; a script's window.open goes to "create".
  if (navigation != WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
      navigation != WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED &&
      navigation != WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED) {
    return false;
  }
  DelegateCall call(this);
  ComPtr<IWebURLRequest> request = ComPtr<IWebURLRequest>::Adopt(
      new URLRequestGtk(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action))));
  ScopedBstr frameName(Utf16Of(webkit_navigation_action_get_frame_name(action)));
  // A window the delegate opens for it shares this page's web process, as a script's does.
  OpenerScope opener(this);
  const HRESULT result = m_policyDelegate->decidePolicyForNewWindowAction(
      this, nullptr, request.Get(), frameName.Get(), nullptr);
  if (result == E_NOTIMPL) return false;
  // The delegate has dealt with it; the listener is never told, so WebKit does nothing.
  webkit_policy_decision_ignore(decision);
  return true;
}

GtkWidget* WebViewGtk::CreateView(WebKitWebView*, WebKitNavigationAction* action) {
  if (!m_uiDelegate) return nullptr;
  DelegateCall call(this);
  ComPtr<IWebURLRequest> request = ComPtr<IWebURLRequest>::Adopt(
      new URLRequestGtk(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action))));
  ComPtr<IWebView> created;
  const HRESULT result = [&] {
    OpenerScope opener(this);
    return m_uiDelegate->createWebViewWithRequest(this, request.Get(), created.Receive());
  }();
  auto* view = dynamic_cast<WebViewGtk*>(created.Get());
  if (FAILED(result) || !view || view->m_closed) return nullptr;
  view->m_awaitingShow = true;
  // WebKit keeps the widget itself (and refuses one not made related to this view); the
  // window that made it keeps the view.
  return GTK_WIDGET(view->Widget());
}

gboolean WebViewGtk::ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog) {
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  if (!m_uiDelegate ||
      (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM)) {
    return false;
  }
  DelegateCall call(this);
  ScopedBstr message(Utf16Of(webkit_script_dialog_get_message(dialog)));
  if (type == WEBKIT_SCRIPT_DIALOG_ALERT) {
    return m_uiDelegate->runJavaScriptAlertPanelWithMessage(this, message.Get()) != E_NOTIMPL;
  }
  BOOL confirmed = FALSE;
  if (m_uiDelegate->runJavaScriptConfirmPanelWithMessage(this, message.Get(), &confirmed) ==
      E_NOTIMPL) {
    return false;
  }
  webkit_script_dialog_confirm_set_confirmed(dialog, confirmed != FALSE);
  return true;
}

void WebViewGtk::ReadyToShow(WebKitWebView* view) {
  m_awaitingShow = false;
  PageSetGeometry(webkit_web_view_get_window_properties(view), nullptr);
}

void WebViewGtk::PageSetGeometry(WebKitWindowProperties* properties, GParamSpec*) {
  GdkRectangle geometry{};
  webkit_window_properties_get_geometry(properties, &geometry);
  // A page that gave no size (window.open without one) leaves the window as it is.
  if (!m_uiDelegate || m_awaitingShow || geometry.width <= 0 || geometry.height <= 0) return;
  DelegateCall call(this);
  // WebKit works a new geometry out from the window's frame as it last knew it, which may
  // lag a frame set a moment ago (a resizeTo just before a moveTo): what the page did not
  // change now keeps the window's frame as it is.
  GdkPoint position{geometry.x, geometry.y};
  GdkPoint size{geometry.width, geometry.height};
  RECT now{};
  GtkWidget* toplevel = gtk_widget_get_toplevel(GTK_WIDGET(m_view.Get()));
  if (GTK_IS_WINDOW(toplevel) && m_uiDelegate->webViewFrame(this, &now) == S_OK &&
      now.right > now.left) {
    GdkPoint shownPosition{};
    GdkPoint shownSize{};
    gtk_window_get_position(GTK_WINDOW(toplevel), &shownPosition.x, &shownPosition.y);
    gtk_window_get_size(GTK_WINDOW(toplevel), &shownSize.x, &shownSize.y);
    if (m_pagePosition.Stale(position, shownPosition)) position = {now.left, now.top};
    if (m_pageSize.Stale(size, shownSize)) size = {now.right - now.left, now.bottom - now.top};
  }
  m_pagePosition.Note(position);
  m_pageSize.Note(size);
  RECT frame{position.x, position.y, position.x + size.x, position.y + size.y};
  m_uiDelegate->setFrame(this, &frame);
}

bool WebViewGtk::PageSetting::Stale(GdkPoint value, GdkPoint shown) const {
  const auto same = [value](GdkPoint other) { return other.x == value.x && other.y == value.y; };
  if (set && same(last)) return false;
  // What GTK still shows while the page's newer setting waits, or what the page set before.
  if (set && same(shown) && !(shown.x == last.x && shown.y == last.y)) return true;
  return std::any_of(before.begin(), before.end(), same);
}

void WebViewGtk::PageSetting::Note(GdkPoint value) {
  constexpr size_t kMostBefore = 4;
  if (set && (value.x != last.x || value.y != last.y)) {
    before.push_back(last);
    if (before.size() > kMostBefore) before.erase(before.begin());
  }
  last = value;
  set = true;
}

gboolean WebViewGtk::ContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                 WebKitHitTestResult*) {
  if (!m_uiDelegate) return false;
  DelegateCall call(this);
  const HMENU items = MenuOf(menu);
  OLE_HANDLE result = 0;
  const HRESULT answer = m_uiDelegate->contextMenuItemsForElement(
      this, nullptr, reinterpret_cast<OLE_HANDLE>(items), &result);
  const auto trimmed = reinterpret_cast<HMENU>(result);
  if (answer != E_NOTIMPL && trimmed) ApplyMenu(menu, trimmed);
  if (trimmed && trimmed != items) DestroyMenu(trimmed);
  DestroyMenu(items);
  // A menu with nothing left is not shown at all.
  return answer != E_NOTIMPL && !webkit_context_menu_get_n_items(menu);
}

void WebViewGtk::ResourceLoadStarted(WebKitWebView*, WebKitWebResource* resource,
                                     WebKitURIRequest* request) {
  if (!m_resourceLoadDelegate || m_resources.count(resource)) return;
  const uint32_t identifier = m_nextResource++;
  TrackedResource& tracked = m_resources[resource];
  tracked.resource.Reset(WEBKIT_WEB_RESOURCE(g_object_ref(resource)));
  tracked.identifier = identifier;
  tracked.fromMemory = CameFromMemory(request);
  ConnectSignal<&WebViewGtk::RequestSent>(resource, "sent-request", this);
  ConnectSignal<&WebViewGtk::ResponseReceived>(resource, "notify::response", this);
  ConnectSignal<&WebViewGtk::ResourceFinished>(resource, "finished", this);
  ConnectSignal<&WebViewGtk::ResourceFailed>(resource, "failed", this);
  DelegateCall call(this);
  auto initial = ComPtr<URLRequestGtk>::Adopt(new URLRequestGtk(request));
  m_resourceLoadDelegate->identifierForInitialRequest(this, initial.Get(), nullptr, identifier);
}

// The page's memory cache answers a request it never built for the network: an http or
// https request without a single header field.
bool WebViewGtk::CameFromMemory(WebKitURIRequest* request) {
  const char* uri = webkit_uri_request_get_uri(request);
  if (!uri || !(g_str_has_prefix(uri, "http://") || g_str_has_prefix(uri, "https://"))) {
    return false;
  }
  SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
  bool empty = true;
  if (headers) {
    soup_message_headers_foreach(
        headers, [](const char*, const char*, gpointer none) { *static_cast<bool*>(none) = false; },
        &empty);
  }
  return empty;
}

uint32_t WebViewGtk::TrackedIdentifier(WebKitWebResource* resource) const {
  const auto found = m_resources.find(resource);
  return m_resourceLoadDelegate && found != m_resources.end() ? found->second.identifier : 0;
}

void WebViewGtk::RequestSent(WebKitWebResource* resource, WebKitURIRequest* request,
                             WebKitURIResponse* redirected) {
  const uint32_t identifier = TrackedIdentifier(resource);
  if (!identifier) return;
  m_resources[resource].fromMemory = CameFromMemory(request);
  DelegateCall call(this);
  auto sent = ComPtr<URLRequestGtk>::Adopt(new URLRequestGtk(request));
  ComPtr<IWebURLResponse> hop;
  if (redirected) hop = ComPtr<IWebURLResponse>::Adopt(new URLResponseGtk(redirected));
  // WebKit sends the request it was going to; what the delegate answers changes nothing.
  ComPtr<IWebURLRequest> answered;
  m_resourceLoadDelegate->willSendRequest(this, identifier, sent.Get(), hop.Get(), nullptr,
                                          answered.Receive());
}

void WebViewGtk::ResponseReceived(WebKitWebResource* resource, GParamSpec*) {
  WebKitURIResponse* response = webkit_web_resource_get_response(resource);
  const uint32_t identifier = TrackedIdentifier(resource);
  if (!response || URLResponseGtk::IsPlaceholder(response) || !identifier) return;
  DelegateCall call(this);
  ComPtr<IWebURLResponse> urlResponse = ComPtr<IWebURLResponse>::Adopt(
      new URLResponseGtk(response, m_resources[resource].fromMemory));
  m_resourceLoadDelegate->didReceiveResponse(this, identifier, urlResponse.Get(), nullptr);
}

void WebViewGtk::ResourceFinished(WebKitWebResource* resource) {
  const uint32_t identifier = TrackedIdentifier(resource);
  const TrackedResource ended = ForgetResource(resource);
  if (ended.bodyListener) {
    ReadResourceBody(resource, ended.identifier, ended.mostBodyBytes, ended.bodyListener.Get());
  }
  if (!identifier) return;
  DelegateCall call(this);
  m_resourceLoadDelegate->didFinishLoadingFromDataSource(this, identifier, nullptr);
}

void WebViewGtk::ResourceFailed(WebKitWebResource* resource, GError* failure) {
  const uint32_t identifier = TrackedIdentifier(resource);
  // "finished" follows "failed"; the resource is forgotten before, so it ends once.
  const TrackedResource ended = ForgetResource(resource);
  if (ended.bodyListener) TellNoBody(ended.identifier, ended.bodyListener.Get());
  if (!identifier) return;
  DelegateCall call(this);
  auto error =
      ComPtr<IWebError>::Adopt(new WebErrorGtk(failure, webkit_web_resource_get_uri(resource)));
  m_resourceLoadDelegate->didFailLoadingWithError(this, identifier, error.Get(), nullptr);
}

WebViewGtk::TrackedResource WebViewGtk::ForgetResource(WebKitWebResource* resource) {
  const auto found = m_resources.find(resource);
  if (found == m_resources.end()) return TrackedResource();
  g_signal_handlers_disconnect_by_data(resource, this);
  TrackedResource ended = std::move(found->second);
  m_resources.erase(found);
  return ended;
}

void WebViewGtk::ProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason) {
  const char* why = reason == WEBKIT_WEB_PROCESS_CRASHED                 ? "crashed"
                    : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "ran out of memory"
                                                                         : "was ended";
  const char* uri = webkit_web_view_get_uri(m_view.Get());
  const gint64 now = g_get_monotonic_time();
  m_crashesInARow = now - m_lastCrash > kCrashMemory ? 1 : m_crashesInARow + 1;
  m_lastCrash = now;
  const guint pause = CrashPause(m_crashesInARow);
  DebugLine(std::string("trawler: the web process of ") + (uri ? uri : "a page") + " " + why +
            "; loading the page again" +
            (pause ? " in " + std::to_string(pause) + " ms" : std::string()));
  if (m_crashReload) g_source_remove(m_crashReload);
  // The source goes with the view (close() removes it), so it never outlives it.
  m_crashReload = g_timeout_add(
      pause,
      [](gpointer self) {
        auto* view = static_cast<WebViewGtk*>(self);
        view->m_crashReload = 0;
        webkit_web_view_reload(view->m_view.Get());
        return gboolean(G_SOURCE_REMOVE);
      },
      this);
}

}  // namespace webkitgtk

#include "engine/testing/sim_web_view.h"

#include "engine/engine_strings.h"
#include "engine/testing/engine_state.h"
#include "engine/testing/page_script.h"
#include "engine/testing/scheduler.h"
#include "engine/testing/sim_download.h"
#include "engine/testing/sim_objects.h"

#include <algorithm>

namespace sim {
namespace {

constexpr double kEstimates[] = {0.3, 0.7, 1.0};
const char16_t kViewClass[] = u"SimWebViewWindow";

bool Fails(const char* operation) { return State().failingOperations.count(operation) > 0; }

LRESULT CALLBACK ViewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterViewClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ViewWindowProc;
  windowClass.lpszClassName = kViewClass;
  registered = RegisterClassExW(&windowClass) != 0;
}

}  // namespace

HRESULT SimFrame::loadRequest(IWebURLRequest* request) {
  auto* ours = dynamic_cast<SimURLRequest*>(request);
  if (!m_view || !ours) return E_INVALIDARG;
  m_view->Load({m_view, ours->m_url, ours->m_method, ours->m_cachePolicy, ours->m_timeout,
                ours->m_allowsAnyHttpsCertificate});
  return S_OK;
}

js::JSGlobalContextRef SimFrame::globalContext() { return m_view ? m_view->Context() : nullptr; }

SimWebView::SimWebView() : m_id(State().nextViewId++), m_frame(new SimFrame(this)) {
  State().views.emplace(m_id, this);
  State().records.viewsCreated.push_back(this);
}

SimWebView::~SimWebView() {
  State().views.erase(m_id);
  m_frame->Detach();
  m_frame->Release();
  ReleaseContext();
}

HRESULT SimWebView::initWithFrame(RECT frame, BSTR, BSTR) {
  if (!m_host || m_view || Fails("initWithFrame")) return E_FAIL;
  RegisterViewClass();
  m_view =
      CreateWindowExW(0, kViewClass, u"", WS_CHILD, frame.left, frame.top, frame.right - frame.left,
                      frame.bottom - frame.top, m_host, nullptr, nullptr, nullptr);
  return m_view ? S_OK : E_FAIL;
}

void SimWebView::DelegateChanged(const char* name, bool installed) {
  State().records.delegateChanges.push_back({this, name, installed});
}

HRESULT SimWebView::mainFrame(IWebFrame** frame) {
  if (!frame) return E_POINTER;
  if (Fails("mainFrame")) {
    *frame = nullptr;
    return S_OK;
  }
  *frame = m_frame;
  m_frame->AddRef();
  return S_OK;
}

HRESULT SimWebView::setHostWindow(OLE_HANDLE window) {
  if (window && Fails("setHostWindow")) return E_FAIL;
  m_host = reinterpret_cast<HWND>(window);
  State().records.hostWindows.emplace_back(this, m_host);
  return S_OK;
}

HRESULT SimWebView::estimatedProgress(double* estimatedProgress) {
  if (!estimatedProgress) return E_POINTER;
  *estimatedProgress = m_progress;
  return S_OK;
}

HRESULT SimWebView::mainFrameURL(BSTR* urlString) {
  if (!urlString) return E_POINTER;
  *urlString = engine::MakeBstr(m_url);
  return S_OK;
}

HRESULT SimWebView::close() {
  if (m_closed) return S_OK;
  m_closed = true;
  ++m_load;
  State().records.viewsClosed.push_back(this);
  SimNotificationCenter::Default().RemoveObserversOf(static_cast<IWebView*>(this));
  if (m_view) DestroyWindow(m_view);
  m_view = nullptr;
  ReleaseDelegates();
  ReleaseContext();
  return S_OK;
}

HRESULT SimWebView::viewWindow(OLE_HANDLE* window) {
  if (!window) return E_POINTER;
  if (Fails("viewWindow")) return E_FAIL;
  *window = reinterpret_cast<OLE_HANDLE>(m_view);
  return S_OK;
}

HRESULT SimWebView::cookiesForRequest(IWebURLRequest* request, IWebCookiesListener* listener) {
  if (!request || !listener) return E_POINTER;
  ScopedBstr url;
  request->URL(url.Receive());
  const auto page = State().pages.find(engine::TextOf(url.Get()));
  const std::u16string cookies = page == State().pages.end() ? u"" : page->second.cookies;
  // One line per cookie of the header's value.
  std::u16string lines;
  for (size_t start = 0; start < cookies.size();) {
    const size_t end = std::min(cookies.find(u"; ", start), cookies.size());
    lines += cookies.substr(start, end - start) + u"\r\n";
    start = end + 2;
  }
  Scheduler::Get().After(0, [address = engine::TextOf(url.Get()), cookies, lines,
                             heard = ComPtr<IWebCookiesListener>::Share(listener)] {
    ScopedBstr urlText(address);
    ScopedBstr header(cookies);
    ScopedBstr cookieLines(lines);
    heard->didReceiveCookies(urlText.Get(), header.Get(), cookieLines.Get());
  });
  return S_OK;
}

HRESULT SimWebView::resourceBodyForIdentifier(unsigned long identifier, UINT mostBytes,
                                              IWebResourceBodyListener* listener) {
  if (!listener) return E_POINTER;
  if (identifier != m_responding) {
    TellBody(identifier, nullptr, listener);
    return S_OK;
  }
  m_bodyListener = ComPtr<IWebResourceBodyListener>::Share(listener);
  m_mostBodyBytes = mostBytes;
  return S_OK;
}

HRESULT SimWebView::downloadRequest(IWebURLRequest* request, IWebDownloadDelegate* delegate,
                                    IWebDownload** download) {
  if (!request || !delegate || !download) return E_POINTER;
  const auto* asked = dynamic_cast<SimURLRequest*>(request);
  if (!asked || asked->m_method != u"GET" ||
      !(asked->m_url.rfind(u"http:", 0) == 0 || asked->m_url.rfind(u"https:", 0) == 0)) {
    return E_INVALIDARG;
  }
  auto started = ComPtr<SimDownload>::Adopt(new SimDownload(delegate));
  started->Start(*asked);
  *download = started.Get();
  started->AddRef();
  return S_OK;
}

HRESULT SimWebView::mainFrameCertificateErrors(UINT* errors) {
  if (!errors) return E_POINTER;
  const auto page = State().pages.find(m_url);
  *errors = page == State().pages.end() ? 0 : page->second.certificateErrors;
  return S_OK;
}

void SimWebView::Load(const LoadRecord& load) {
  if (m_closed) return;
  State().records.loads.push_back(load);
  State().Notify().Load(load.url);
  ++m_load;
  m_nextStepDelay = 1;
  m_url = load.url;
  Schedule([](SimWebView& view) { view.ProgressStarted(); });
  const auto page = State().pages.find(load.url);
  if (page == State().pages.end()) {
    Schedule([](SimWebView& view) { view.FailProvisionalLoad(u"Not found"); });
    Schedule([](SimWebView& view) { view.ProgressFinished(); });
    return;
  }
  const Page& scripted = page->second;
  if (!scripted.responses.empty() && !scripted.responses[0].error.empty() &&
      !scripted.responses[0].failsAfterResponse) {
    const Response document = scripted.responses[0];
    Schedule([document](SimWebView& view) { view.Respond(document); });
    Schedule([document](SimWebView& view) { view.FailProvisionalLoad(document.error); });
    Schedule([](SimWebView& view) { view.ProgressFinished(); });
    return;
  }
  size_t& loads = State().pageLoads[load.url];
  const std::string script = scripted.scripts.empty()
                                 ? std::string()
                                 : scripted.scripts[std::min(loads, scripted.scripts.size() - 1)];
  ++loads;
  const std::vector<Response>& responses = scripted.responses;
  for (size_t i = 0; i < responses.size(); ++i) {
    const Response response = responses[i];
    Schedule([response](SimWebView& view) { view.Respond(response); });
    if (i == 0) Schedule([script](SimWebView& view) { view.ClearWindowObject(script); });
  }
  if (responses.empty()) Schedule([script](SimWebView& view) { view.ClearWindowObject(script); });
  for (double estimate : kEstimates) {
    Schedule([estimate](SimWebView& view) { view.ProgressEstimate(estimate); });
  }
  Schedule([](SimWebView& view) { view.FinishLoad(); });
  Schedule([](SimWebView& view) { view.ProgressFinished(); });
}

void SimWebView::Schedule(std::function<void(SimWebView&)> step) {
  const int id = m_id;
  const uint64_t load = m_load;
  Scheduler::Get().After(m_nextStepDelay++, [id, load, step] {
    SimWebView* view = FindView(id);
    if (!view || view->m_load != load) return;
    // The view must outlive the step even if the system lets go of it meanwhile.
    view->AddRef();
    step(*view);
    view->Release();
  });
}

void SimWebView::ProgressStarted() {
  m_progress = 0.0;
  SimNotificationCenter::Default().Post(u"WebProgressStartedNotification",
                                        static_cast<IWebView*>(this));
}

void SimWebView::ProgressEstimate(double estimate) {
  m_progress = estimate;
  SimNotificationCenter::Default().Post(u"WebProgressEstimateChangedNotification",
                                        static_cast<IWebView*>(this));
}

void SimWebView::ProgressFinished() {
  SimNotificationCenter::Default().Post(u"WebProgressFinishedNotification",
                                        static_cast<IWebView*>(this));
}

namespace {

ComPtr<SimURLRequest> RequestOf(const Response& response, const std::u16string& url) {
  auto request = ComPtr<SimURLRequest>::Adopt(new SimURLRequest());
  request->m_url = url;
  request->m_method = response.method;
  request->m_headers = response.requestHeaders;
  return request;
}

}  // namespace

void SimWebView::Respond(const Response& response) {
  if (!Tells()) return;
  const unsigned long id = State().nextResourceId++;
  m_responding = id;
  const std::vector<Redirect>& hops = response.redirects;
  ComPtr<SimURLRequest> request = RequestOf(response, hops.empty() ? response.url : hops[0].url);
  m_resourceLoadDelegate->identifierForInitialRequest(this, request.Get(), nullptr, id);
  // Each request is told as it is sent, the first one too, as WebKit does.
  ComPtr<IWebURLRequest> first;
  if (Tells()) {
    m_resourceLoadDelegate->willSendRequest(this, id, request.Get(), nullptr, nullptr,
                                            first.Receive());
  }
  for (size_t i = 0; i < hops.size() && Tells(); ++i) {
    const std::u16string& next = i + 1 < hops.size() ? hops[i + 1].url : response.url;
    Response hop;
    hop.url = hops[i].url;
    hop.status = hops[i].status;
    hop.headers = u"Location: " + next + u"\r\n";
    auto hopResponse = ComPtr<SimURLResponse>::Adopt(new SimURLResponse(hop));
    request = RequestOf(response, next);
    ComPtr<IWebURLRequest> sent;
    m_resourceLoadDelegate->willSendRequest(this, id, request.Get(), hopResponse.Get(), nullptr,
                                            sent.Receive());
  }
  const bool fails = !response.error.empty();
  if (Tells() && (!fails || response.failsAfterResponse)) {
    auto urlResponse = ComPtr<SimURLResponse>::Adopt(new SimURLResponse(response));
    m_resourceLoadDelegate->didReceiveResponse(this, id, urlResponse.Get(), nullptr);
    if (Tells() && response.length > 0) {
      m_resourceLoadDelegate->didReceiveContentLength(
          this, id, static_cast<UINT>(std::min<long long>(response.length, UINT32_MAX)), nullptr);
    }
  }
  if (!Tells()) return;
  if (fails) {
    auto error = ComPtr<SimError>::Adopt(
        new SimError(response.error, response.url, response.cancelled ? WebURLErrorCancelled : 0));
    m_resourceLoadDelegate->didFailLoadingWithError(this, id, error.Get(), nullptr);
  } else {
    m_resourceLoadDelegate->didFinishLoadingFromDataSource(this, id, nullptr);
  }
  m_responding = 0;
  if (!m_bodyListener) return;
  const ComPtr<IWebResourceBodyListener> listener = std::move(m_bodyListener);
  const bool kept = !fails && response.body.size() <= m_mostBodyBytes;
  TellBody(id, kept ? &response.body : nullptr, listener.Get());
}

void SimWebView::ClearWindowObject(const std::string& script) {
  ReleaseContext();
  m_context = js::JSGlobalContextCreate(nullptr);
  InstallPageGlobals(m_context, m_id);
  if (m_frameLoadDelegate) {
    m_frameLoadDelegate->didClearWindowObject(this, m_context,
                                              js::JSContextGetGlobalObject(m_context), m_frame);
  }
  // The delegate may have closed the view; the page's script runs only in a live page.
  if (m_context && !script.empty()) RunPageScript(m_context, script);
}

void SimWebView::FinishLoad() {
  if (m_frameLoadDelegate) m_frameLoadDelegate->didFinishLoadForFrame(this, m_frame);
}

void SimWebView::FailProvisionalLoad(const std::u16string& description) {
  if (!m_frameLoadDelegate) return;
  auto error = ComPtr<SimError>::Adopt(new SimError(description, m_url));
  m_frameLoadDelegate->didFailProvisionalLoadWithError(this, error.Get(), m_frame);
}

void SimWebView::ReleaseContext() {
  const js::JSGlobalContextRef context = std::exchange(m_context, nullptr);
  if (!context) return;
  ForgetPageContext(context);
  // A page's script may be running in the context now; it goes once that is over.
  Scheduler::Get().Defer([context] { js::JSGlobalContextRelease(context); });
}

}  // namespace sim

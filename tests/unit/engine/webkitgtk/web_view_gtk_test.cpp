// WebViewGtk on the real WebKitGTK, in the manner of WebKitGTK's own API tests: pages come
// from a server on 127.0.0.1 in this process, and each test runs the main loop until the
// delegate it watches has been called (or a deadline passes), never for a fixed time.

#include "tests/unit/engine/test_delegates.h"
#include "webview/com_ptr.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libsoup/soup.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

std::string Utf8(BSTR text) {
  std::string result;
  for (const char16_t* c = text; c && *c; ++c) result += static_cast<char>(*c);
  return result;
}

std::string UrlOf(IWebURLRequest* request) {
  ScopedBstr url;
  request->URL(url.Receive());
  return Utf8(url.Get());
}

// Runs the main loop until the condition holds; false when 20 s pass first. A ticking
// source wakes the loop to look at the deadline.
bool RunUntil(const std::function<bool()>& condition) {
  const gint64 deadline = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
  const guint tick = g_timeout_add(
      50, [](gpointer) { return gboolean(G_SOURCE_CONTINUE); }, nullptr);
  while (!condition() && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(tick);
  return condition();
}

// The test site: path → (MIME type, body), and the paths asked for, in order.
class Site {
 public:
  Site() : m_server(soup_server_new(nullptr, nullptr)) {
    soup_server_add_handler(m_server, nullptr, &Site::Serve, this, nullptr);
    soup_server_listen_local(m_server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, nullptr);
    GSList* uris = soup_server_get_uris(m_server);
    m_port = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
  }
  ~Site() { g_object_unref(m_server); }

  void Add(const std::string& path, const std::string& type, const std::string& body) {
    m_pages[path] = {type, body};
  }
  void AddRedirect(const std::string& path, const std::string& target) {
    m_redirects[path] = target;
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }
  const std::vector<std::string>& Asked() const { return m_asked; }
  // The Cookie and Referer headers of the last request for the path: "cookie | referer".
  std::string HeadersOf(const std::string& path) const {
    const auto found = m_headers.find(path);
    return found == m_headers.end() ? "not asked" : found->second;
  }

 private:
  static void Serve(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                    gpointer self) {
    auto* site = static_cast<Site*>(self);
    site->m_asked.push_back(path);
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    const char* cookie = soup_message_headers_get_one(headers, "Cookie");
    const char* referer = soup_message_headers_get_one(headers, "Referer");
    site->m_headers[path] = std::string(cookie ? cookie : "") + " | " + (referer ? referer : "");
    const auto moved = site->m_redirects.find(path);
    if (moved != site->m_redirects.end()) {
      soup_server_message_set_redirect(message, 301, moved->second.c_str());
      return;
    }
    const auto found = site->m_pages.find(path);
    if (found == site->m_pages.end()) {
      soup_server_message_set_status(message, 404, nullptr);
      return;
    }
    soup_server_message_set_status(message, 200, nullptr);
    soup_server_message_set_response(message, found->second.first.c_str(), SOUP_MEMORY_COPY,
                                     found->second.second.data(), found->second.second.size());
  }

  SoupServer* m_server;
  int m_port = 0;
  std::map<std::string, std::pair<std::string, std::string>> m_pages;
  std::map<std::string, std::string> m_redirects;
  std::vector<std::string> m_asked;
  std::map<std::string, std::string> m_headers;
};

struct Seen {
  std::vector<std::string> responses;  // "URL MIME length"
  // What the resource-load delegate heard of each request, by its identifier.
  std::map<unsigned long, std::vector<std::string>> requests;
  int finished = 0;
  int failed = 0;       // before the page committed
  int failedLater = 0;  // after it
  std::vector<std::string> alerts;
  std::vector<std::string> confirms;
  std::vector<std::string> created;     // createWebViewWithRequest's URLs
  std::vector<std::string> newWindows;  // decidePolicyForNewWindowAction's URLs
};

class FrameLoad : public TestFrameLoadDelegate {
 public:
  explicit FrameLoad(Seen& seen) : m_seen(seen) {}
  HRESULT didFinishLoadForFrame(IWebView*, IWebFrame*) override {
    ++m_seen.finished;
    return S_OK;
  }
  HRESULT didFailProvisionalLoadWithError(IWebView*, IWebError*, IWebFrame*) override {
    ++m_seen.failed;
    return S_OK;
  }
  HRESULT didFailLoadWithError(IWebView*, IWebError*, IWebFrame*) override {
    ++m_seen.failedLater;
    return S_OK;
  }

 private:
  Seen& m_seen;
};

// "STATUS Location" of a response with an HTTP facet, else "no status".
std::string StatusOf(IWebURLResponse* response) {
  ComPtr<IWebHTTPURLResponse> http;
  if (FAILED(response->QueryInterface(IID_IWebHTTPURLResponse, http.ReceiveVoid()))) {
    return "no status";
  }
  int status = 0;
  http->statusCode(&status);
  ScopedBstr headers;
  http->allHeaderFields(headers.Receive());
  const std::string lines = Utf8(headers.Get());
  const size_t location = lines.find("Location: ");
  return std::to_string(status) +
         (location == std::string::npos
              ? ""
              : " " + lines.substr(location + 10, lines.find('\r', location) - location - 10));
}

// Hears bodies: the text, or "none".
class Bodies : public TestComObject<IWebResourceBodyListener> {
 public:
  Bodies() : TestComObject(IID_IWebResourceBodyListener) {}
  HRESULT didReceiveBody(unsigned long, const char* bytes, UINT length) override {
    heard.push_back(bytes ? std::string(bytes, length) : "none");
    return S_OK;
  }
  std::vector<std::string> heard;
};

class ResourceLoad : public TestResourceLoadDelegate {
 public:
  explicit ResourceLoad(Seen& seen) : m_seen(seen) {}
  // Asks for the body of each response whose address ends so, up to mostBytes.
  Bodies* bodies = nullptr;
  std::string bodiesOf;
  UINT mostBodyBytes = 0;
  HRESULT identifierForInitialRequest(IWebView*, IWebURLRequest* request, IWebDataSource*,
                                      unsigned long identifier) override {
    ScopedBstr method;
    request->HTTPMethod(method.Receive());
    m_seen.requests[identifier].push_back("start " + Utf8(method.Get()) + " " + UrlOf(request));
    return S_OK;
  }
  HRESULT willSendRequest(IWebView*, unsigned long identifier, IWebURLRequest* request,
                          IWebURLResponse* redirect, IWebDataSource*, IWebURLRequest**) override {
    if (redirect) {
      m_seen.requests[identifier].push_back("redirect " + StatusOf(redirect) + " to " +
                                            UrlOf(request));
    }
    return S_OK;
  }
  HRESULT didReceiveResponse(IWebView* view, unsigned long identifier, IWebURLResponse* response,
                             IWebDataSource*) override {
    ScopedBstr url, type;
    long long length = 0;
    response->URL(url.Receive());
    response->MIMEType(type.Receive());
    response->expectedContentLength(&length);
    m_seen.responses.push_back(Utf8(url.Get()) + " " + Utf8(type.Get()) + " " +
                               std::to_string(length));
    m_seen.requests[identifier].push_back("response " + StatusOf(response));
    const std::string address = Utf8(url.Get());
    ComPtr<IWebViewPrivate> engine;
    if (bodies && address.size() >= bodiesOf.size() &&
        address.compare(address.size() - bodiesOf.size(), std::string::npos, bodiesOf) == 0 &&
        SUCCEEDED(view->QueryInterface(IID_IWebViewPrivate, engine.ReceiveVoid()))) {
      engine->resourceBodyForIdentifier(identifier, mostBodyBytes, bodies);
    }
    return S_OK;
  }
  HRESULT didFinishLoadingFromDataSource(IWebView*, unsigned long identifier,
                                         IWebDataSource*) override {
    m_seen.requests[identifier].push_back("finished");
    return S_OK;
  }
  HRESULT didFailLoadingWithError(IWebView*, unsigned long identifier, IWebError* error,
                                  IWebDataSource*) override {
    ScopedBstr text;
    error->localizedDescription(text.Receive());
    m_seen.requests[identifier].push_back(
        Utf8(text.Get()).find("refused") != std::string::npos ? "refused" : Utf8(text.Get()));
    return S_OK;
  }

 private:
  Seen& m_seen;
};

class Ui : public TestUIDelegate {
 public:
  explicit Ui(Seen& seen) : m_seen(seen) {}
  HRESULT runJavaScriptAlertPanelWithMessage(IWebView*, BSTR message) override {
    m_seen.alerts.push_back(Utf8(message));
    return S_OK;
  }
  HRESULT runJavaScriptConfirmPanelWithMessage(IWebView*, BSTR message, BOOL* result) override {
    m_seen.confirms.push_back(Utf8(message));
    *result = TRUE;
    return S_OK;
  }
  HRESULT createWebViewWithRequest(IWebView*, IWebURLRequest* request, IWebView**) override {
    m_seen.created.push_back(UrlOf(request));
    return E_FAIL;  // no new window
  }

 private:
  Seen& m_seen;
};

class Policy : public TestPolicyDelegate {
 public:
  explicit Policy(Seen& seen) : m_seen(seen) {}
  HRESULT decidePolicyForNewWindowAction(IWebView*, IPropertyBag*, IWebURLRequest* request, BSTR,
                                         IWebPolicyDecisionListener*) override {
    m_seen.newWindows.push_back(UrlOf(request));
    return S_OK;
  }

 private:
  Seen& m_seen;
};

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class WebViewGtkTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HostProc;
    windowClass.lpszClassName = u"WebViewGtkTestHost";
    RegisterClassExW(&windowClass);
    m_host = CreateWindowExW(0, u"WebViewGtkTestHost", u"Host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_host, nullptr) << "the WebKitGTK tests need a display (xvfb-run)";
    ASSERT_EQ(WebKitCreateInstance(CLSID_WebView, nullptr, IID_IWebView,
                                   reinterpret_cast<void**>(&m_view)),
              S_OK);
    m_view->setHostWindow(reinterpret_cast<OLE_HANDLE>(m_host));
    m_view->setFrameLoadDelegate(&m_frameLoad);
    m_view->setResourceLoadDelegate(&m_resourceLoad);
    m_view->setUIDelegate(&m_ui);
    m_view->setPolicyDelegate(&m_policy);
    ASSERT_EQ(m_view->initWithFrame(RECT{0, 0, 400, 300}, nullptr, nullptr), S_OK);
    ShowWindow(m_host, SW_SHOW);
  }
  void TearDown() override {
    if (m_view) Close();
    DestroyWindow(m_host);
  }
  void Close() {
    m_view->close();
    m_view->Release();
    m_view = nullptr;
  }
  void Load(const std::string& url) {
    IWebFrame* frame = nullptr;
    IWebMutableURLRequest* request = nullptr;
    ASSERT_EQ(m_view->mainFrame(&frame), S_OK);
    ASSERT_EQ(WebKitCreateInstance(CLSID_WebMutableURLRequest, nullptr, IID_IWebMutableURLRequest,
                                   reinterpret_cast<void**>(&request)),
              S_OK);
    ScopedBstr text(std::u16string(url.begin(), url.end()));
    request->initWithURL(text.Get(), WebURLRequestUseProtocolCachePolicy, 60);
    EXPECT_EQ(frame->loadRequest(request), S_OK);
    request->Release();
    frame->Release();
  }

  Site m_site;
  Seen m_seen;
  FrameLoad m_frameLoad{m_seen};
  ResourceLoad m_resourceLoad{m_seen};
  Ui m_ui{m_seen};
  Policy m_policy{m_seen};
  HWND m_host = nullptr;
  IWebView* m_view = nullptr;
};

TEST_F(WebViewGtkTest, ALoadReportsEachResponseThenItsEnd) {
  const std::string page = "<img src=/pic.png><script src=/a.js></script>";
  m_site.Add("/page.html", "text/html", page);
  m_site.Add("/pic.png", "image/png", std::string(1536, 'p'));
  m_site.Add("/a.js", "application/javascript", "var a = 1;");
  Load(m_site.Url("/page.html"));
  ASSERT_TRUE(RunUntil([&] { return m_seen.finished == 1 && m_seen.responses.size() == 3; }));
  std::sort(m_seen.responses.begin(), m_seen.responses.end());
  EXPECT_EQ(m_seen.responses,
            (std::vector<std::string>{
                m_site.Url("/a.js") + " application/javascript 10",
                m_site.Url("/page.html") + " text/html " + std::to_string(page.size()),
                m_site.Url("/pic.png") + " image/png 1536"}));
  EXPECT_EQ(m_seen.failed, 0);
}

// A port nothing listens at (port 1 itself is one WebKit refuses to load at all).
int ClosedPort() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  close(listener);
  return ntohs(address.sin_port);
}

TEST_F(WebViewGtkTest, EachRequestsStartRedirectsResponseAndEndReachTheDelegateInOrder) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x.png";
  m_site.Add("/page.html", "text/html",
             "<img src=/moved.png><img src=/missing.png><img src='" + refused + "'>");
  m_site.AddRedirect("/moved.png", "/pic.png");
  m_site.Add("/pic.png", "image/png", "png");
  Load(m_site.Url("/page.html"));
  const auto ended = [&] {
    size_t count = 0;
    for (const auto& [identifier, events] : m_seen.requests) {
      count += events.back() == "finished" || events.back() == "refused";
    }
    return count == 4;
  };
  ASSERT_TRUE(RunUntil(ended)) << m_seen.requests.size();
  std::vector<std::vector<std::string>> lives;
  for (const auto& [identifier, events] : m_seen.requests) lives.push_back(events);
  std::vector<std::vector<std::string>> expected{
      {"start GET " + refused, "refused"},
      {"start GET " + m_site.Url("/missing.png"), "response 404", "finished"},
      {"start GET " + m_site.Url("/moved.png"),
       "redirect 301 " + m_site.Url("/pic.png") + " to " + m_site.Url("/pic.png"), "response 200",
       "finished"},
      {"start GET " + m_site.Url("/page.html"), "response 200", "finished"},
  };
  std::sort(lives.begin(), lives.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lives, expected);
}

TEST_F(WebViewGtkTest, ARefusedConnectionIsAFailedProvisionalLoad) {
  Load("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/refused");
  ASSERT_TRUE(RunUntil([&] { return m_seen.failed + m_seen.failedLater + m_seen.finished > 0; }))
      << m_seen.responses.size();
  EXPECT_EQ(m_seen.failed, 1);
  EXPECT_EQ(m_seen.failedLater, 0);
  EXPECT_EQ(m_seen.finished, 0);
}

TEST_F(WebViewGtkTest, DialogsAndNewWindowsReachTheirDelegates) {
  m_site.Add("/page.html", "text/html",
             "<a id=l href=/linked.html target=_blank>l</a><script>"
             "alert('hello'); var yes = confirm('sure?');"
             "window.open('/opened.html', 'o', 'left=10,top=20,width=300,height=200');"
             "document.getElementById('l').click();"
             "fetch('/done?' + yes);</script>");
  Load(m_site.Url("/page.html"));
  ASSERT_TRUE(RunUntil([&] {
    return !m_site.Asked().empty() && m_site.Asked().back() == "/done" &&
           !m_seen.newWindows.empty();
  }));
  EXPECT_EQ(m_seen.alerts, std::vector<std::string>{"hello"});
  EXPECT_EQ(m_seen.confirms, std::vector<std::string>{"sure?"});
  EXPECT_EQ(m_seen.created, std::vector<std::string>{m_site.Url("/opened.html")});
  EXPECT_EQ(m_seen.newWindows, std::vector<std::string>{m_site.Url("/linked.html")});
}

TEST_F(WebViewGtkTest, ClosingGivesBackEveryDelegate) {
  m_site.Add("/page.html", "text/html", "<p>page</p>");
  Load(m_site.Url("/page.html"));
  ASSERT_TRUE(RunUntil([&] { return m_seen.finished == 1; }));
  Close();
  // Each delegate has only the test's own reference left.
  EXPECT_EQ(m_frameLoad.References(), 1u);
  EXPECT_EQ(m_resourceLoad.References(), 1u);
  EXPECT_EQ(m_ui.References(), 1u);
  EXPECT_EQ(m_policy.References(), 1u);
}

// WebKit keeps a document's body; a fetch()'s never, and an XMLHttpRequest's only while its
// web process still holds it, so neither is asked for here.
TEST_F(WebViewGtkTest, TheBodyOfAResourceComesFromTheViewWhenItKeptOne) {
  Bodies bodies;
  m_resourceLoad.bodies = &bodies;
  m_resourceLoad.bodiesOf = ".html";
  m_resourceLoad.mostBodyBytes = 80;
  const std::string page = "<iframe src=/big.html></iframe><script>fetch('/c.html')</script>";
  m_site.Add("/page.html", "text/html", page);
  m_site.Add("/big.html", "text/html", std::string(81, 'x'));
  m_site.Add("/c.html", "text/html", "c");
  Load(m_site.Url("/page.html"));
  ASSERT_TRUE(RunUntil([&] { return bodies.heard.size() == 3; })) << bodies.heard.size();
  std::sort(bodies.heard.begin(), bodies.heard.end());
  // One over the limit is not handed out.
  EXPECT_EQ(bodies.heard, (std::vector<std::string>{page, "none", "none"}));
  EXPECT_EQ(bodies.References(), 1u);
}

// Hears which cookies a request would carry: the last Cookie header and its cookies' lines,
// and how many answers.
class Cookies : public TestComObject<IWebCookiesListener> {
 public:
  Cookies() : TestComObject(IID_IWebCookiesListener) {}
  HRESULT didReceiveCookies(BSTR, BSTR header, BSTR lines) override {
    last = Utf8(header);
    lastLines = Utf8(lines);
    ++answers;
    return S_OK;
  }
  std::string last;
  std::string lastLines;
  int answers = 0;
};

// Hears a download: "response STATUS LENGTH" (and its Location, if any), the bytes, then
// "finished" or "failed TEXT".
class Download : public TestComObject<IWebDownloadDelegate> {
 public:
  Download() : TestComObject(IID_IWebDownloadDelegate) {}
  HRESULT didReceiveResponse(IWebDownload*, int status, long long length, BSTR lines) override {
    const std::string fields = Utf8(lines);
    const size_t location = fields.find("Location: ");
    events.push_back(
        "response " + std::to_string(status) + " " + std::to_string(length) +
        (location == std::string::npos
             ? ""
             : " to " + fields.substr(location + 10, fields.find('\r', location) - location - 10)));
    return S_OK;
  }
  HRESULT didReceiveData(IWebDownload* download, const char* bytes, UINT length) override {
    body.append(bytes, length);
    if (cancelAtData) download->cancel();
    return S_OK;
  }
  HRESULT didFinish(IWebDownload*) override {
    events.push_back("finished");
    return S_OK;
  }
  HRESULT didFailWithError(IWebDownload*, IWebError* error) override {
    ScopedBstr text;
    error->localizedDescription(text.Receive());
    events.push_back("failed " + Utf8(text.Get()));
    return S_OK;
  }
  bool Ended() const {
    return !events.empty() &&
           (events.back() == "finished" || events.back().rfind("failed", 0) == 0);
  }
  std::vector<std::string> events;
  std::string body;
  bool cancelAtData = false;
};

// A request the system makes: its address, page and fields.
ComPtr<IWebMutableURLRequest> Request(
    const std::string& url, const std::string& page = "",
    const std::vector<std::pair<std::u16string, std::u16string>>& fields = {}) {
  ComPtr<IWebMutableURLRequest> request;
  EXPECT_EQ(WebKitCreateInstance(CLSID_WebMutableURLRequest, nullptr, IID_IWebMutableURLRequest,
                                 request.ReceiveVoid()),
            S_OK);
  ScopedBstr address(std::u16string(url.begin(), url.end()));
  request->initWithURL(address.Get(), WebURLRequestUseProtocolCachePolicy, 60);
  if (!page.empty()) {
    ScopedBstr document(std::u16string(page.begin(), page.end()));
    request->setMainDocumentURL(document.Get());
  }
  for (const auto& [name, value] : fields) {
    ScopedBstr field(name);
    ScopedBstr text(value);
    EXPECT_EQ(request->setValue(text.Get(), field.Get()), S_OK);
  }
  return request;
}

class SessionTest : public WebViewGtkTest {
 protected:
  // Loads a page that sets three cookies, and waits until the session holds them.
  void LoadCookiePage() {
    m_site.Add("/page.html", "text/html",
               "<script>document.cookie = 'k=v; path=/'; document.cookie = 'strict=1; path=/; "
               "SameSite=Strict'; document.cookie = 'lax=1; path=/; SameSite=Lax';</script>");
    Load(m_site.Url("/page.html"));
    ASSERT_TRUE(RunUntil([&] { return m_seen.finished == 1; }));
    ASSERT_EQ(m_view->QueryInterface(IID_IWebViewPrivate, m_engine.ReceiveVoid()), S_OK);
    // The page's cookies reach the session a moment after the page ran: asked until it has.
    ASSERT_NE(AskCookies(m_site.Url("/page.html"), "",
                         [](const Cookies& heard) {
                           return heard.last.find("lax=1") != std::string::npos;
                         }),
              "");
  }
  // The Cookie header a request would carry, asked until `wanted` holds (or once).
  std::string AskCookies(const std::string& url, const std::string& page,
                         const std::function<bool(const Cookies&)>& wanted = nullptr) {
    Cookies cookies;
    int asked = 0;
    RunUntil([&] {
      if (asked > cookies.answers) return false;  // an answer is on its way
      if (asked && (!wanted || wanted(cookies))) return true;
      m_engine->cookiesForRequest(Request(url, page).Get(), &cookies);
      ++asked;
      return false;
    });
    return cookies.last;
  }
  // Runs a download to its end.
  void Fetch(Download& delegate, const ComPtr<IWebMutableURLRequest>& request) {
    ComPtr<IWebDownload> download;
    ASSERT_EQ(m_engine->downloadRequest(request.Get(), &delegate, download.Receive()), S_OK);
    EXPECT_TRUE(delegate.events.empty());
    ASSERT_TRUE(RunUntil([&] { return delegate.Ended(); }));
  }

  ComPtr<IWebViewPrivate> m_engine;
};

TEST_F(SessionTest, ARequestCarriesTheCookiesItsPagesSiteAllows) {
  LoadCookiePage();
  const std::string file = m_site.Url("/file.bin");
  const std::string same = AskCookies(file, m_site.Url("/page.html"));
  for (const char* cookie : {"k=v", "strict=1", "lax=1"}) {
    EXPECT_NE(same.find(cookie), std::string::npos) << same;
  }
  // From a page of another site, SameSite withholds what it names.
  const std::string cross = AskCookies(file, "http://elsewhere.test/");
  EXPECT_EQ(cross.find("strict=1"), std::string::npos) << cross;
  EXPECT_EQ(cross.find("lax=1"), std::string::npos) << cross;
  UINT errors = 99;
  EXPECT_EQ(m_engine->mainFrameCertificateErrors(&errors), S_OK);
  EXPECT_EQ(errors, 0u);
}

TEST_F(SessionTest, ADownloadSendsItsFieldsAndTellsARedirectWithoutFollowingIt) {
  LoadCookiePage();
  m_site.AddRedirect("/go", m_site.Url("/file.bin").replace(7, 9, "localhost"));
  m_site.Add("/file.bin", "application/octet-stream", std::string(200'000, 'f'));
  Download moved;
  Fetch(moved, Request(m_site.Url("/go"), m_site.Url("/page.html"),
                       {{u"Referer", u"http://h.test/from"}}));
  const std::string elsewhere = m_site.Url("/file.bin").replace(7, 9, "localhost");
  EXPECT_EQ(moved.events, (std::vector<std::string>{"response 301 0 to " + elsewhere, "finished"}));
  EXPECT_EQ(m_site.Asked().back(), "/go");
  EXPECT_NE(m_site.HeadersOf("/go").find("| http://h.test/from"), std::string::npos);
  // No Referer unless the request has one; the cookies are the session's.
  Download whole;
  Fetch(whole, Request(m_site.Url("/file.bin"), m_site.Url("/page.html")));
  EXPECT_EQ(whole.events, (std::vector<std::string>{"response 200 200000", "finished"}));
  EXPECT_TRUE(whole.body == std::string(200'000, 'f')) << whole.body.size();
  EXPECT_EQ(m_site.HeadersOf("/file.bin").substr(m_site.HeadersOf("/file.bin").find('|')), "| ");
  EXPECT_NE(m_site.HeadersOf("/file.bin").find("strict=1"), std::string::npos);
  // Only a GET of a web address is fetched.
  ComPtr<IWebMutableURLRequest> post = Request(m_site.Url("/file.bin"));
  ScopedBstr method(u"POST");
  post->setHTTPMethod(method.Get());
  Download refused;
  ComPtr<IWebDownload> download;
  EXPECT_EQ(m_engine->downloadRequest(post.Get(), &refused, download.Receive()), E_INVALIDARG);
  EXPECT_EQ(
      m_engine->downloadRequest(Request("ftp://127.0.0.1/f").Get(), &refused, download.Receive()),
      E_INVALIDARG);
  // A field may not hold a line of its own.
  ScopedBstr name(u"X-Test");
  ScopedBstr injected(u"a\r\nCookie: stolen=1");
  EXPECT_EQ(post->setValue(injected.Get(), name.Get()), E_INVALIDARG);
  // A cancelled download tells nothing more, and gives its delegate back.
  Download cancelled;
  cancelled.cancelAtData = true;
  ASSERT_EQ(m_engine->downloadRequest(Request(m_site.Url("/file.bin")).Get(), &cancelled,
                                      download.Receive()),
            S_OK);
  ASSERT_TRUE(RunUntil([&] { return !cancelled.body.empty(); }));
  download.Reset();
  ASSERT_TRUE(RunUntil([&] { return cancelled.References() == 1; }));
  EXPECT_EQ(cancelled.events, (std::vector<std::string>{"response 200 200000"}));
  EXPECT_LT(cancelled.body.size(), 200'000u);
}

}  // namespace

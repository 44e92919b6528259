#include "engine/testing/sim_engine.h"
#include "platform/headless/observation.h"
#include "tests/unit/engine/test_delegates.h"
#include "webview/com_ptr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

void Record(const std::string& event) {
  g_events.push_back(event + "@" + std::to_string(sim::Now()));
}

std::string TextOf(BSTR text) { return Narrow(std::u16string(text, SysStringLen(text))); }

class RecordingFrameLoad : public TestFrameLoadDelegate {
 public:
  HRESULT didFailProvisionalLoadWithError(IWebView*, IWebError* error, IWebFrame*) override {
    Record(error ? "failProvisional" : "failProvisional without error");
    return S_OK;
  }
  HRESULT didFinishLoadForFrame(IWebView* view, IWebFrame*) override {
    BSTR url = nullptr;
    view->mainFrameURL(&url);
    Record("finish " + TextOf(url));
    SysFreeString(url);
    return S_OK;
  }
  HRESULT didClearWindowObject(IWebView*, js::JSContextRef context, js::JSObjectRef global,
                               IWebFrame* frame) override {
    const bool consistent =
        frame->globalContext() == context && js::JSContextGetGlobalObject(context) == global;
    Record(consistent ? "clear" : "clear with a foreign context");
    return S_OK;
  }
};

class RecordingResourceLoad : public TestResourceLoadDelegate {
 public:
  HRESULT didReceiveResponse(IWebView*, unsigned long, IWebURLResponse* response,
                             IWebDataSource*) override {
    BSTR url = nullptr;
    BSTR mime = nullptr;
    long long length = 0;
    response->URL(&url);
    response->MIMEType(&mime);
    response->expectedContentLength(&length);
    Record("response " + TextOf(url) + " " + TextOf(mime) + " " + std::to_string(length));
    SysFreeString(url);
    SysFreeString(mime);
    return S_OK;
  }
};

class RecordingObserver : public TestNotificationObserver {
 public:
  HRESULT onNotification(IWebNotification* notification) override {
    BSTR name = nullptr;
    notification->name(&name);
    const std::string text = TextOf(name);
    SysFreeString(name);
    ComPtr<IUnknown> object;
    notification->getObject(object.Receive());
    ComPtr<IWebView> view;
    object->QueryInterface(IID_IWebView, view.ReceiveVoid());
    double progress = -1;
    view->estimatedProgress(&progress);
    Record(text == "WebProgressEstimateChangedNotification"
               ? "estimate " + std::to_string(static_cast<int>(progress * 100))
               : text);
    return S_OK;
  }
};

class RecordingPolicy : public TestPolicyDelegate {
 public:
  HRESULT decidePolicyForNewWindowAction(IWebView*, IPropertyBag*, IWebURLRequest* request,
                                         BSTR frameName, IWebPolicyDecisionListener*) override {
    BSTR url = nullptr;
    request->URL(&url);
    Record("newWindow " + TextOf(url) + " " + TextOf(frameName));
    SysFreeString(url);
    return S_OK;
  }
};

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) Record("WM_CLOSE");
  if (message == WM_DROPFILES) {
    const HDROP drop = reinterpret_cast<HDROP>(wParam);
    Record("WM_DROPFILES " + std::to_string(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0)));
    DragFinish(drop);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class SimEngineTest : public testing::Test, public sim::Observer {
 public:
  static void SetUpTestSuite() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HostProc;
    windowClass.lpszClassName = u"HOST";
    RegisterClassExW(&windowClass);
  }

  void SetUp() override {
    sim::Reset();
    sim::SetObserver(this);
    g_events.clear();
    m_baseline = sim::LiveObjects();
    m_view = MakeView();
  }

  void TearDown() override {
    for (IWebView* view : m_views) CloseAndRelease(view);
    Run();
    // The observers go with the engine, as at the end of a run.
    shutDownWebKit();
    EXPECT_EQ(sim::LiveObjects(), m_baseline) << "engine references left over";
    for (const headless::WindowInfo& window : headless::Windows()) DestroyWindow(window.handle);
    sim::SetObserver(nullptr);
  }

  void Log(const std::u16string& text) override { Record("log " + Narrow(text)); }

  // A web view in a host window of its own, with the recording delegates installed.
  IWebView* MakeView() {
    IWebView* view = nullptr;
    EXPECT_EQ(
        WebKitCreateInstance(CLSID_WebView, nullptr, IID_IWebView, reinterpret_cast<void**>(&view)),
        S_OK);
    HWND host = CreateWindowExW(0, u"HOST", u"host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, nullptr, nullptr);
    view->setHostWindow(reinterpret_cast<OLE_HANDLE>(host));
    view->initWithFrame(RECT{0, 0, 100, 100}, nullptr, nullptr);
    view->setFrameLoadDelegate(&m_frameLoad);
    view->setResourceLoadDelegate(&m_resourceLoad);
    view->setPolicyDelegate(&m_policy);
    view->setUIDelegate(&m_ui);
    ComPtr<IWebNotificationCenter> factory;
    WebKitCreateInstance(CLSID_WebNotificationCenter, nullptr, IID_IWebNotificationCenter,
                         factory.ReceiveVoid());
    ComPtr<IWebNotificationCenter> center;
    factory->defaultCenter(center.Receive());
    for (const char16_t* name :
         {u"WebProgressStartedNotification", u"WebProgressEstimateChangedNotification",
          u"WebProgressFinishedNotification"}) {
      ScopedBstr text(name);
      center->addObserver(&m_observer, text.Get(), view);
    }
    m_views.push_back(view);
    return view;
  }

  void CloseAndRelease(IWebView* view) {
    view->setResourceLoadDelegate(nullptr);
    view->setFrameLoadDelegate(nullptr);
    view->setPolicyDelegate(nullptr);
    view->setUIDelegate(nullptr);
    view->close();
    view->Release();
  }

  void Load(IWebView* view, const std::u16string& url) {
    ComPtr<IWebMutableURLRequest> request;
    ASSERT_EQ(WebKitCreateInstance(CLSID_WebMutableURLRequest, nullptr, IID_IWebMutableURLRequest,
                                   request.ReceiveVoid()),
              S_OK);
    ScopedBstr text(url);
    request->initWithURL(text.Get(), WebURLRequestUseProtocolCachePolicy, 60.0);
    ScopedBstr get(u"GET");
    request->setHTTPMethod(get.Get());
    ComPtr<IWebFrame> frame;
    view->mainFrame(frame.Receive());
    ASSERT_EQ(frame->loadRequest(request.Get()), S_OK);
  }

  // Runs the message loop until every task due within the next second has run.
  void Run() {
    sim::After(1000, [] { PostQuitMessage(0); });
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  }

  RecordingFrameLoad m_frameLoad;
  RecordingResourceLoad m_resourceLoad;
  RecordingPolicy m_policy;
  TestUIDelegate m_ui;
  RecordingObserver m_observer;
  IWebView* m_view = nullptr;
  std::vector<IWebView*> m_views;
  long m_baseline = 0;
};

TEST_F(SimEngineTest, LoadPlaysItsStepsOneMillisecondApart) {
  sim::SetPage(u"http://h.test/", {{{u"http://h.test/", u"text/html", 120},
                                    {u"http://h.test/a.mp3", u"audio/mpeg", -1}},
                                   {"sim.log('script')"}});
  Load(m_view, u"http://h.test/");
  Run();
  EXPECT_EQ(g_events,
            (std::vector<std::string>{
                "WebProgressStartedNotification@1", "response http://h.test/ text/html 120@2",
                "clear@3", "log script@3", "response http://h.test/a.mp3 audio/mpeg -1@4",
                "estimate 30@5", "estimate 70@6", "estimate 100@7", "finish http://h.test/@8",
                "WebProgressFinishedNotification@9"}));
  ASSERT_EQ(sim::GetRecords().loads.size(), 1u);
  const sim::LoadRecord& load = sim::GetRecords().loads[0];
  EXPECT_EQ(load.url, u"http://h.test/");
  EXPECT_EQ(load.method, u"GET");
  EXPECT_EQ(load.timeout, 60.0);
  EXPECT_FALSE(load.allowsAnyHttpsCertificate);
}

TEST_F(SimEngineTest, UnknownAddressFailsItsProvisionalLoad) {
  Load(m_view, u"http://nowhere.test/");
  Run();
  EXPECT_EQ(g_events,
            (std::vector<std::string>{"WebProgressStartedNotification@1", "failProvisional@2",
                                      "WebProgressFinishedNotification@3"}));
}

TEST_F(SimEngineTest, PageScriptExceptionDoesNotStopTheRun) {
  sim::SetPage(u"http://h.test/", {{{u"http://h.test/", u"text/html", 1}},
                                   {"sim.log('before'); throw new Error('page bug');"}});
  Load(m_view, u"http://h.test/");
  Run();
  EXPECT_EQ(sim::GetRecords().pageErrors, std::vector<std::u16string>{u"Error: page bug"});
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events.back(), "WebProgressFinishedNotification@8");
}

TEST_F(SimEngineTest, TimersRunInVirtualTimeOrder) {
  sim::SetPage(u"http://h.test/", {{},
                                   {"setTimeout(() => sim.log('late'), 10);"
                                    "setTimeout(() => sim.log('first'), 5);"
                                    "setTimeout(() => sim.log('second'), 5);"}});
  Load(m_view, u"http://h.test/");
  Run();
  std::vector<std::string> logs;
  for (const std::string& event : g_events) {
    if (event.rfind("log ", 0) == 0) logs.push_back(event);
  }
  EXPECT_EQ(logs, (std::vector<std::string>{"log first@7", "log second@7", "log late@12"}));
}

TEST_F(SimEngineTest, LoadingAgainReplacesThePage) {
  sim::SetPage(u"http://h.test/",
               {{},
                {"setTimeout(() => sim.log('old page timer'), 50); sim.reload();",
                 "sim.log('second load')"}});
  Load(m_view, u"http://h.test/");
  Run();
  EXPECT_EQ(sim::GetRecords().loads.size(), 2u);
  std::vector<std::string> logs;
  for (const std::string& event : g_events) {
    if (event.rfind("log ", 0) == 0) logs.push_back(event.substr(0, event.find('@')));
  }
  EXPECT_EQ(logs, std::vector<std::string>{"log second load"});
}

TEST_F(SimEngineTest, LinkWithNewWindowTargetAsksThePolicyDelegate) {
  sim::SetPage(u"http://h.test/", {{}, {"sim.openLink('http://h.test/next')"}});
  Load(m_view, u"http://h.test/");
  Run();
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "newWindow http://h.test/next _blank@2"),
            g_events.end());
}

TEST_F(SimEngineTest, ScriptWindowOpenLoadsIntoTheViewTheDelegateMade) {
  class Opener : public TestUIDelegate {
   public:
    explicit Opener(SimEngineTest& test) : m_test(test) {}
    HRESULT createWebViewWithRequest(IWebView*, IWebURLRequest*, IWebView** created) override {
      *created = m_test.MakeView();
      (*created)->AddRef();
      return S_OK;
    }
    SimEngineTest& m_test;
  } opener(*this);
  m_view->setUIDelegate(&opener);
  sim::SetPage(u"http://h.test/", {{}, {"sim.openWindow('http://h.test/popup')"}});
  sim::SetPage(u"http://h.test/popup", {{{u"http://h.test/popup", u"text/html", 5}}, {}});
  Load(m_view, u"http://h.test/");
  Run();
  ASSERT_EQ(sim::GetRecords().loads.size(), 2u);
  EXPECT_EQ(sim::GetRecords().loads[1].url, u"http://h.test/popup");
  EXPECT_EQ(sim::GetRecords().loads[1].view, m_views[1]);
  m_view->setUIDelegate(nullptr);
}

TEST_F(SimEngineTest, DelegateNotImplementedGetsTheEngineDefault) {
  sim::SetPage(u"http://h.test/", {{},
                                   {"sim.openWindow('http://h.test/popup');"
                                    "sim.log(String(sim.confirm('sure?')));"
                                    "sim.log(JSON.stringify(sim.contextMenu([8, 0, 12])));"}});
  Load(m_view, u"http://h.test/");
  Run();
  EXPECT_EQ(sim::GetRecords().loads.size(), 1u);
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "log false@2"), g_events.end());
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "log [8,0,12]@2"), g_events.end());
}

TEST_F(SimEngineTest, ContextMenuAnswersWhatTheDelegateKept) {
  class Trimmer : public TestUIDelegate {
   public:
    HRESULT contextMenuItemsForElement(IWebView*, IPropertyBag*, OLE_HANDLE menu,
                                       OLE_HANDLE* result) override {
      RemoveMenu(reinterpret_cast<HMENU>(menu), 2, MF_BYPOSITION);
      RemoveMenu(reinterpret_cast<HMENU>(menu), 1, MF_BYPOSITION);
      *result = menu;
      return S_OK;
    }
    HRESULT runJavaScriptConfirmPanelWithMessage(IWebView*, BSTR, BOOL* answer) override {
      *answer = TRUE;
      return S_OK;
    }
  } trimmer;
  m_view->setUIDelegate(&trimmer);
  sim::SetPage(u"http://h.test/", {{},
                                   {"sim.log(JSON.stringify(sim.contextMenu([8, 0, 12])));"
                                    "sim.log(String(sim.confirm('sure?')));"}});
  Load(m_view, u"http://h.test/");
  Run();
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "log [8]@2"), g_events.end());
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "log true@2"), g_events.end());
  m_view->setUIDelegate(nullptr);
}

TEST_F(SimEngineTest, CloseAndDropsArePostedToTheHostWindow) {
  OLE_HANDLE host = 0;
  m_view->hostWindow(&host);
  sim::SetPage(u"http://h.test/", {{}, {"sim.dropFiles(['/a', '/b']); sim.close();"}});
  Load(m_view, u"http://h.test/");
  Run();
  // The host does not accept files yet, so only the close arrives.
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "WM_CLOSE@2"), g_events.end());
  EXPECT_EQ(std::count_if(g_events.begin(), g_events.end(),
                          [](const std::string& e) { return e.rfind("WM_DROPFILES", 0) == 0; }),
            0);
}

TEST_F(SimEngineTest, DropsReachAHostThatAcceptsFiles) {
  IWebView* view = MakeView();
  OLE_HANDLE host = 0;
  view->hostWindow(&host);
  DragAcceptFiles(reinterpret_cast<HWND>(host), TRUE);
  sim::SetPage(u"http://h.test/", {{}, {"sim.dropFiles(['/a', '/b', '/c'])"}});
  Load(view, u"http://h.test/");
  Run();
  EXPECT_NE(std::find(g_events.begin(), g_events.end(), "WM_DROPFILES 3@2"), g_events.end());
}

TEST_F(SimEngineTest, ProgressGoesOnlyToObserversOfThatView) {
  IWebView* other = MakeView();
  sim::SetPage(u"http://h.test/", {{}, {}});
  Load(other, u"http://h.test/");
  Run();
  // The observer is registered for both views, so each notification arrives once.
  EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "WebProgressStartedNotification@1"), 1);
}

TEST_F(SimEngineTest, StandardPreferencesAreSharedAndRecordWrites) {
  ComPtr<IWebPreferences> first;
  ComPtr<IWebPreferences> second;
  WebKitCreateInstance(CLSID_WebPreferences, nullptr, IID_IWebPreferences, first.ReceiveVoid());
  WebKitCreateInstance(CLSID_WebPreferences, nullptr, IID_IWebPreferences, second.ReceiveVoid());
  ComPtr<IWebPreferences> standardA;
  ComPtr<IWebPreferences> standardB;
  first->standardPreferences(standardA.Receive());
  second->standardPreferences(standardB.Receive());
  EXPECT_EQ(standardA.Get(), standardB.Get());
  ComPtr<IWebPreferencesPrivate> facet;
  ASSERT_EQ(standardA->QueryInterface(IID_IWebPreferencesPrivate, facet.ReceiveVoid()), S_OK);
  BOOL enabled = FALSE;
  facet->isWebSecurityEnabled(&enabled);
  EXPECT_TRUE(enabled);
  facet->localStorageEnabled(&enabled);
  EXPECT_FALSE(enabled);
  facet->setLocalStorageEnabled(TRUE);
  EXPECT_TRUE(sim::GetRecords().preferences.localStorageEnabled);
  EXPECT_EQ(sim::GetRecords().preferences.writes,
            std::vector<std::string>{"setLocalStorageEnabled"});
}

TEST_F(SimEngineTest, IdentityAnswersOnlyItsInterfaces) {
  ComPtr<IWebViewPrivate> facet;
  EXPECT_EQ(m_view->QueryInterface(IID_IWebViewPrivate, facet.ReceiveVoid()), S_OK);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(m_view->QueryInterface(IID_IWebFrame, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  IUnknown* unknown = nullptr;
  WebKitCreateInstance(CLSID_WebView, reinterpret_cast<IUnknown*>(m_view), IID_IWebView,
                       reinterpret_cast<void**>(&unknown));
  EXPECT_EQ(unknown, nullptr);
}

}  // namespace

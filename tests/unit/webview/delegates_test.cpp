#include "tests/unit/system_test_support.h"
#include "tests/unit/webview/recording_window.h"

#include "webview/com_ptr.h"
#include "webview/resource_load_delegate.h"

namespace {

// A web view as the delegates see it: a host window and a progress estimate.
class FakeView : public IWebView {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = iid == IID_IWebView || iid == IID_IUnknown ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT initWithFrame(RECT, BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT setUIDelegate(IWebUIDelegate*) override { return E_NOTIMPL; }
  HRESULT setResourceLoadDelegate(IWebResourceLoadDelegate*) override { return E_NOTIMPL; }
  HRESULT setFrameLoadDelegate(IWebFrameLoadDelegate*) override { return E_NOTIMPL; }
  HRESULT setPolicyDelegate(IWebPolicyDelegate*) override { return E_NOTIMPL; }
  HRESULT mainFrame(IWebFrame**) override { return E_NOTIMPL; }
  HRESULT setHostWindow(OLE_HANDLE) override { return E_NOTIMPL; }
  HRESULT hostWindow(OLE_HANDLE* window) override {
    *window = reinterpret_cast<OLE_HANDLE>(m_host);
    return m_hostResult;
  }
  HRESULT estimatedProgress(double* progress) override {
    *progress = m_progress;
    return m_progressResult;
  }
  HRESULT mainFrameURL(BSTR* url) override {
    *url = SysAllocString(u"http://main.test/");
    return S_OK;
  }
  HRESULT close() override { return E_NOTIMPL; }

  HWND m_host = nullptr;
  HRESULT m_hostResult = S_OK;
  double m_progress = 0.0;
  HRESULT m_progressResult = S_OK;
};

class FakeNotification : public IWebNotification {
 public:
  FakeNotification(const char16_t* name, IUnknown* object) : m_name(name), m_object(object) {}
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT name(BSTR* result) override {
    *result = SysAllocString(m_name);
    return S_OK;
  }
  HRESULT getObject(IUnknown** result) override {
    *result = m_object;
    if (m_object) m_object->AddRef();
    return S_OK;
  }

 private:
  const char16_t* m_name;
  IUnknown* m_object;
};

class FakeRequest : public IWebURLRequest {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT initWithURL(BSTR, WebURLRequestCachePolicy, double) override { return E_NOTIMPL; }
  HRESULT URL(BSTR* result) override {
    *result = m_fails ? nullptr : SysAllocString(u"http://new.test/");
    return m_fails ? E_FAIL : S_OK;
  }
  HRESULT HTTPMethod(BSTR*) override { return E_NOTIMPL; }
  HRESULT allHTTPHeaderFields(BSTR*) override { return E_NOTIMPL; }
  bool m_fails = false;
};

class ObservingWindow : public RecordingWindow {
 public:
  void OnNewWindowRequest(BSTR url, BSTR frame) override {
    m_calls.push_back("OnNewWindowRequest " + Narrow(url) + " " + Narrow(frame));
  }
  void OnCreateWebView(BSTR url, IWebView**) override {
    m_calls.push_back("OnCreateWebView " + Narrow(url));
  }
};

class DelegatesTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    m_hWnd = CreateWindowExW(0, kWebKitWindowClass, u"Trawler", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, nullptr, &m_window);
    m_view.m_host = m_hWnd;
    m_window.m_calls.clear();
  }

  HRESULT Notify(const char16_t* name, double progress) {
    m_view.m_progress = progress;
    FakeNotification notification(name, &m_view);
    return m_window.m_notificationObserver.onNotification(&notification);
  }

  ObservingWindow m_window;
  FakeView m_view;
  HWND m_hWnd = nullptr;
};

template <typename Delegate>
void ExpectIdentity(Delegate& delegate, const IID& own, const IID& other) {
  void* object = nullptr;
  EXPECT_EQ(delegate.QueryInterface(own, &object), S_OK);
  EXPECT_EQ(object, &delegate);
  EXPECT_EQ(delegate.QueryInterface(IID_IUnknown, &object), S_OK);
  object = &delegate;
  EXPECT_EQ(delegate.QueryInterface(other, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  // One reference for the owner, two taken by the queries above.
  EXPECT_EQ(delegate.AddRef(), 4u);
  EXPECT_EQ(delegate.Release(), 3u);
}

TEST_F(DelegatesTest, EachDelegateAnswersOnlyItsOwnInterface) {
  ExpectIdentity(m_window.m_frameLoadDelegate, IID_IWebFrameLoadDelegate, IID_IWebUIDelegate);
  ExpectIdentity(m_window.m_uiDelegate, IID_IWebUIDelegate, IID_IWebPolicyDelegate);
  ExpectIdentity(m_window.m_policyDelegate, IID_IWebPolicyDelegate, IID_IWebFrameLoadDelegate);
  ExpectIdentity(m_window.m_notificationObserver, IID_IWebNotificationObserver,
                 IID_IWebResourceLoadDelegate);
  CEmptyResourceLoadDelegate resourceLoad;
  ExpectIdentity(resourceLoad, IID_IWebResourceLoadDelegate, IID_IWebNotificationObserver);
}

TEST_F(DelegatesTest, OperationsNotUsedAnswerNotImplemented) {
  EXPECT_EQ(m_window.m_frameLoadDelegate.didStartProvisionalLoadForFrame(&m_view, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(m_window.m_uiDelegate.webViewShow(&m_view), E_NOTIMPL);
  EXPECT_EQ(m_window.m_uiDelegate.paintCustomScrollCorner(&m_view, nullptr, RECT{}), E_NOTIMPL);
  EXPECT_EQ(m_window.m_policyDelegate.decidePolicyForNavigationAction(&m_view, nullptr, nullptr,
                                                                      nullptr, nullptr),
            E_NOTIMPL);
  CEmptyResourceLoadDelegate resourceLoad;
  EXPECT_EQ(resourceLoad.didReceiveResponse(&m_view, 1, nullptr, nullptr), E_NOTIMPL);
  EXPECT_TRUE(m_window.m_calls.empty());
}

TEST_F(DelegatesTest, ForwardingDelegatesReachTheHostWindow) {
  FakeRequest request;
  ScopedBstr frameName(u"_blank");
  EXPECT_EQ(m_window.m_policyDelegate.decidePolicyForNewWindowAction(&m_view, nullptr, &request,
                                                                     frameName.Get(), nullptr),
            S_OK);
  IWebView* created = nullptr;
  EXPECT_EQ(m_window.m_uiDelegate.createWebViewWithRequest(&m_view, &request, &created), S_OK);
  request.m_fails = true;
  EXPECT_EQ(m_window.m_uiDelegate.createWebViewWithRequest(&m_view, &request, &created), E_FAIL);
  EXPECT_EQ(m_window.m_frameLoadDelegate.didFinishLoadForFrame(&m_view, nullptr), S_OK);
  WebDragDestinationAction mask = 7;
  EXPECT_EQ(m_window.m_uiDelegate.dragDestinationActionMaskForDraggingInfo(&m_view, nullptr, &mask),
            S_OK);
  EXPECT_EQ(mask, 0u);
  EXPECT_EQ(m_window.m_calls,
            (std::vector<std::string>{"OnNewWindowRequest http://new.test/ _blank",
                                      "OnCreateWebView http://new.test/", "OnCreateWebView ",
                                      "OnLoadFinished http://main.test/"}));
}

TEST_F(DelegatesTest, WithoutAWindowDelegatesAnswerSuccessAndForwardNothing) {
  for (HRESULT hostResult : {S_OK, E_FAIL}) {
    m_view.m_host = hostResult == S_OK ? reinterpret_cast<HWND>(uintptr_t{0x999}) : nullptr;
    m_view.m_hostResult = hostResult;
    FakeRequest request;
    IWebView* created = reinterpret_cast<IWebView*>(uintptr_t{1});
    EXPECT_EQ(m_window.m_uiDelegate.createWebViewWithRequest(&m_view, &request, &created), S_OK);
    EXPECT_EQ(created, reinterpret_cast<IWebView*>(uintptr_t{1}));
    EXPECT_EQ(m_window.m_frameLoadDelegate.didFinishLoadForFrame(&m_view, nullptr), S_OK);
    EXPECT_EQ(m_window.m_uiDelegate.runJavaScriptAlertPanelWithMessage(&m_view, nullptr), S_OK);
    EXPECT_EQ(Notify(u"WebProgressStartedNotification", 0.0), S_OK);
  }
  EXPECT_TRUE(m_window.m_calls.empty());
  EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(DelegatesTest, ProgressIsForwardedOnlyWhenItsWholePercentChanges) {
  const char16_t* estimate = u"WebProgressEstimateChangedNotification";
  Notify(u"WebProgressStartedNotification", 0.0);
  Notify(estimate, 0.0);
  Notify(estimate, 0.424);
  Notify(estimate, 0.429);
  Notify(estimate, 1.0);
  Notify(u"WebProgressFinishedNotification", 1.0);
  Notify(u"WebProgressStartedNotification", 0.0);
  Notify(estimate, 1.0);
  Notify(u"SomethingElse", 0.5);
  m_view.m_progressResult = E_FAIL;
  EXPECT_EQ(Notify(estimate, 0.5), E_FAIL);
  EXPECT_EQ(m_window.m_calls,
            (std::vector<std::string>{"OnProgressStarted", "OnProgressChanged 42",
                                      "OnProgressChanged 100", "OnProgressFinished",
                                      "OnProgressStarted"}));
  EXPECT_EQ(m_window.m_lastProgress, 100);
}

}  // namespace

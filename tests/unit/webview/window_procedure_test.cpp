#include "tests/unit/system_test_support.h"
#include "tests/unit/webview/recording_window.h"

#include "platform/drops.h"

namespace {

class WindowProcedureTest : public SystemTest {};

TEST_F(WindowProcedureTest, CreateRegistersTheWindowAndWiresTheEngineInOrder) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  EXPECT_EQ(LookupWindow(window.m_hWnd), &window);
  EXPECT_EQ(window.m_calls, std::vector<std::string>{"OnCreate"});
  ASSERT_NE(window.m_webView, nullptr);
  ASSERT_NE(window.m_hViewWnd, nullptr);
  EXPECT_NE(window.m_notificationCenter, nullptr);

  const sim::Records& records = sim::GetRecords();
  ASSERT_EQ(records.delegateChanges.size(), 3u);
  EXPECT_EQ(records.delegateChanges[0].delegate, "frameLoad");
  EXPECT_EQ(records.delegateChanges[1].delegate, "ui");
  EXPECT_EQ(records.delegateChanges[2].delegate, "policy");
  ASSERT_EQ(records.hostWindows.size(), 1u);
  EXPECT_EQ(records.hostWindows[0].second, window.m_hWnd);

  // The view's own window covers the client area and takes no drops.
  RECT client{};
  RECT view{};
  GetClientRect(window.m_hWnd, &client);
  GetClientRect(window.m_hViewWnd, &view);
  EXPECT_EQ(view.right, client.right);
  EXPECT_EQ(view.bottom, client.bottom);
  EXPECT_FALSE(platform::AcceptsFiles(window.m_hViewWnd));
}

TEST_F(WindowProcedureTest, CreateFailingBeforeTheNativeWindowNeverRegisters) {
  for (const CLSID* failing : {&CLSID_WebView, &CLSID_WebNotificationCenter}) {
    sim::FailCreationOf(failing);
    RecordingWindow& window = Make<RecordingWindow>();
    EXPECT_FALSE(window.Create(u"Trawler", nullptr));
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_TRUE(WindowRegistry.empty());
    EXPECT_TRUE(window.m_calls.empty());
    if (window.m_webView) window.m_webView->Release();
    window.m_webView = nullptr;
  }
  sim::FailCreationOf(nullptr);
}

TEST_F(WindowProcedureTest, TeardownClearsTheDelegatesInOrderAndReleasesTheView) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  IWebView* view = window.m_webView;
  const size_t before = sim::GetRecords().delegateChanges.size();
  DestroyWindow(window.m_hWnd);
  EXPECT_EQ(window.m_calls.back(), "OnDestroy with view");
  EXPECT_EQ(window.m_webView, nullptr);
  EXPECT_TRUE(WindowRegistry.empty());

  const sim::Records& records = sim::GetRecords();
  std::vector<std::string> cleared;
  for (size_t i = before; i < records.delegateChanges.size(); ++i) {
    EXPECT_FALSE(records.delegateChanges[i].installed);
    cleared.push_back(records.delegateChanges[i].delegate);
  }
  EXPECT_EQ(cleared, (std::vector<std::string>{"resourceLoad", "frameLoad", "policy", "ui"}));
  EXPECT_EQ(records.hostWindows.back(), std::make_pair(view, HWND{nullptr}));
  EXPECT_EQ(records.viewsClosed, std::vector<IWebView*>{view});
  // The last window's teardown ends the run: the engine shuts down, then the quit comes.
  EXPECT_EQ(records.shutdowns, 1);
  MSG message{};
  EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
}

TEST_F(WindowProcedureTest, SecondDestroyForATornDownWindowHasNoEffect) {
  RecordingWindow& first = Make<RecordingWindow>();
  RecordingWindow& second = Make<RecordingWindow>();
  ASSERT_TRUE(first.Create(u"one", nullptr));
  ASSERT_TRUE(second.Create(u"two", nullptr));
  SendMessageW(first.m_hWnd, WM_DESTROY, 0, 0);
  SendMessageW(first.m_hWnd, WM_DESTROY, 0, 0);
  EXPECT_EQ(std::count(first.m_calls.begin(), first.m_calls.end(), "OnDestroy with view"), 1);
  EXPECT_EQ(first.m_calls.size(), 2u);
  // Closing one window of two ends nothing.
  EXPECT_EQ(sim::GetRecords().shutdowns, 0);
  EXPECT_EQ(WindowRegistry.size(), 1u);
}

TEST_F(WindowProcedureTest, ClosingAllWindowsShutsTheEngineDownOnceBeforeTheQuit) {
  RecordingWindow& first = Make<RecordingWindow>();
  RecordingWindow& second = Make<RecordingWindow>();
  ASSERT_TRUE(first.Create(u"one", nullptr));
  ASSERT_TRUE(second.Create(u"two", nullptr));
  CloseAllWindows();
  EXPECT_EQ(WindowRegistry.size(), 2u);  // only posted so far
  int shutdownsAtQuit = -1;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  shutdownsAtQuit = sim::GetRecords().shutdowns;
  EXPECT_EQ(shutdownsAtQuit, 1);
  EXPECT_TRUE(WindowRegistry.empty());
  // The native windows stay; only their web views went.
  EXPECT_TRUE(IsWindow(first.m_hWnd));
}

TEST_F(WindowProcedureTest, EraseBackgroundIsAnsweredWithoutDefaultProcessing) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  EXPECT_EQ(SendMessageW(window.m_hWnd, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(WindowProcedureTest, SizeFitsTheViewToTheClientAreaEvenWhenMinimised) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  MoveWindow(window.m_hWnd, 0, 0, 640, 480, TRUE);
  MoveWindow(window.m_hViewWnd, 0, 0, 10, 10, TRUE);
  SendMessageW(window.m_hWnd, WM_SIZE, SIZE_MINIMIZED, 0);
  RECT view{};
  GetClientRect(window.m_hViewWnd, &view);
  EXPECT_EQ(view.right, 640);
  EXPECT_EQ(view.bottom, 480);
}

TEST_F(WindowProcedureTest, DroppedFilesArriveInOrderAndTheDropIsReleased) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  const HDROP drop = platform::CreateDrop({u"/a.txt", u"/b c.mp3", u"/\u00E9.ogg"});
  SendMessageW(window.m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  EXPECT_EQ(window.m_calls.back(), "OnDropFiles 3");
  EXPECT_EQ(window.m_paths, (std::vector<std::u16string>{u"/a.txt", u"/b c.mp3", u"/\u00E9.ogg"}));
  EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 0u);
}

TEST_F(WindowProcedureTest, FailedProvisionalLoadReachesTheWindow) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  window.LoadUrl(u"http://missing.test/");
  Run(100);
  EXPECT_EQ(window.m_calls,
            (std::vector<std::string>{"OnCreate", "OnProgressStarted", "OnProvisionalLoadFailed",
                                      "OnProgressFinished"}));
}

TEST_F(WindowProcedureTest, LoadReportsClearedWindowObjectProgressAndFinish) {
  RecordingWindow& window = Make<RecordingWindow>();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  ServePage(u"http://h.test/", "");
  window.LoadUrl(u"http://h.test/");
  Run(100);
  EXPECT_EQ(window.m_calls,
            (std::vector<std::string>{"OnCreate", "OnProgressStarted", "OnWindowObjectCleared",
                                      "OnProgressChanged 30", "OnProgressChanged 70",
                                      "OnProgressChanged 100", "OnLoadFinished http://h.test/",
                                      "OnProgressFinished"}));
  EXPECT_EQ(window.m_lastProgress, 100);
}

}  // namespace

#include "finder/local_window.h"
#include "finder/my_window.h"

#include "platform/drops.h"
#include "tests/unit/finder/finder_test_support.h"
#include "webview/com_ptr.h"

namespace {

class FinderWindowsTest : public FinderTest {
 protected:
  CMyWindow& Browsing() {
    CMyWindow& window = m_app->m_myWindow;
    if (!window.m_webView) {
      EXPECT_TRUE(window.Create(u"Trawler", nullptr));
    }
    return window;
  }
};

TEST_F(FinderWindowsTest, BrowsingWindowInstallsItsDelegateBeforeTheViewIsAttached) {
  const size_t before = sim::GetRecords().delegateChanges.size();
  CMyWindow& window = Browsing();
  const auto& changes = sim::GetRecords().delegateChanges;
  ASSERT_EQ(changes.size(), before + 4);
  EXPECT_EQ(changes[before + 3].delegate, "resourceLoad");
  EXPECT_TRUE(changes[before + 3].installed);
  EXPECT_EQ(changes[before + 3].view, window.m_webView);
  // The UI window has none, so the UI page's own responses are never reported.
  for (size_t i = 0; i < before; ++i) EXPECT_NE(changes[i].delegate, "resourceLoad");
}

TEST_F(FinderWindowsTest, NewWindowRequestOpensACapturedPopupTitledLikeItsOpener) {
  CMyWindow& window = Browsing();
  SendMessageW(window.m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Opener"));
  ScopedBstr url(u"http://popup.test/");
  window.OnNewWindowRequest(url.Get(), nullptr);
  ASSERT_EQ(m_app->m_popupWindows.size(), 1u);
  CMyWindow* popup = m_app->m_popupWindows[0];
  WCHAR title[16] = {};
  GetWindowTextW(popup->m_hWnd, title, 16);
  EXPECT_EQ(std::u16string(title), u"Opener");
  EXPECT_EQ(sim::GetRecords().loads.back().url, u"http://popup.test/");
  EXPECT_EQ(sim::GetRecords().loads.back().view, popup->m_webView);
  EXPECT_FALSE(headless::Windows().empty());
}

TEST_F(FinderWindowsTest, CreateWebViewHandsTheEngineAReferenceOfItsOwn) {
  CMyWindow& window = Browsing();
  IWebView* created = nullptr;
  window.OnCreateWebView(nullptr, &created);
  ASSERT_EQ(m_app->m_popupWindows.size(), 1u);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created, m_app->m_popupWindows[0]->m_webView);
  // The engine's reference goes back; the window's own remains.
  EXPECT_EQ(created->Release(), 1u);
}

TEST_F(FinderWindowsTest, UiWindowWritesDroppedPathsToTheDebugOutput) {
  const HDROP drop = platform::CreateDrop({u"/tmp/a b", u"/tmp/\u00E9"});
  SendMessageW(UiWindow().m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  EXPECT_EQ(headless::DebugOutput(), u"/tmp/a b\n/tmp/\u00E9\n");
}

TEST_F(FinderWindowsTest, ClosingTheUiWindowTearsDownEveryWindowAndEndsTheRun) {
  CMyWindow& window = Browsing();
  SendMessageW(UiWindow().m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(UiWindow().m_hWnd));
  EXPECT_EQ(WindowRegistry.size(), 1u);  // the browsing window's teardown is posted
  Run();
  EXPECT_TRUE(WindowRegistry.empty());
  EXPECT_EQ(window.m_webView, nullptr);
  EXPECT_EQ(sim::GetRecords().shutdowns, 1);
}

TEST_F(FinderWindowsTest, ClosingABrowsingWindowLeavesTheRestRunning) {
  CMyWindow& window = Browsing();
  State().m_running = 1;
  SendMessageW(window.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(WindowRegistry.size(), 1u);
  EXPECT_EQ(sim::GetRecords().shutdowns, 0);
  EXPECT_EQ(State().m_running, 1);
}

TEST_F(FinderWindowsTest, EveryNewUiPageGetsAServiceObject) {
  ServePage(u"http://ui.test/", "sim.log(typeof service + ' ' + typeof service.cancelCall);");
  UiWindow().LoadUrl(u"http://ui.test/");
  Run(10);
  EXPECT_EQ(m_logs, std::vector<std::string>{"object function"});
  EXPECT_EQ(UiWindow().m_service.m_handler, &HandleFinderCall);
  EXPECT_EQ(UiWindow().m_service.m_userData, &UiWindow());
  EXPECT_EQ(UiWindow().m_service.m_propertyName, "service");

  // Pages of browsing windows never see it.
  CMyWindow& window = Browsing();
  ServePage(u"http://page.test/", "sim.log('browsing page sees ' + typeof service);");
  window.LoadUrl(u"http://page.test/");
  Run(10);
  EXPECT_EQ(m_logs.back(), "browsing page sees undefined");
}

TEST_F(FinderWindowsTest, ClosingAPopupLeavesTheUiWindowAndTheSearchRunning) {
  // The page opens a popup that closes itself, then loads again and is still captured.
  sim::SetPage(u"http://host.test/",
               {{{u"http://host.test/", u"text/html", 5}},
                {"sim.openLink('http://popup.test/'); setTimeout(() => sim.reload(), 20);", ""}});
  ServePage(u"http://popup.test/", "sim.close();");
  ASSERT_EQ(Call(u"start", R"({"url": "http://host.test/", "filterEnabled": false,
                               "useFileExtFilter": false, "mimeFilter": ""})"),
            1);
  Run(40);
  ASSERT_EQ(m_app->m_popupWindows.size(), 1u);
  EXPECT_EQ(m_app->m_popupWindows[0]->m_webView, nullptr);
  EXPECT_TRUE(IsWindow(UiWindow().m_hWnd));
  EXPECT_EQ(State().m_running, 1);
  ASSERT_EQ(m_logs.size(), 3u);
  EXPECT_NE(m_logs[1].find("popup.test"), std::string::npos);
  EXPECT_NE(m_logs[2].find("\"url\":\"http://host.test/\""), std::string::npos);
}

TEST_F(FinderWindowsTest, TheBrowsingWindowOpensBesideTheUiWindow) {
  ServePage(u"http://host.test/", "", {{u"http://host.test/", u"text/html", 5}});
  ASSERT_EQ(Call(u"start", R"({"url": "http://host.test/", "filterEnabled": false,
                               "useFileExtFilter": false, "mimeFilter": ""})"),
            1);
  RECT ui{};
  RECT browsing{};
  ASSERT_TRUE(GetWindowRect(UiWindow().m_hWnd, &ui));
  ASSERT_TRUE(GetWindowRect(m_app->m_myWindow.m_hWnd, &browsing));
  EXPECT_EQ(browsing.left, ui.right);
  EXPECT_EQ(browsing.top, ui.top);
  // So do the windows its pages open.
  ScopedBstr url(u"http://popup.test/");
  m_app->m_myWindow.OnNewWindowRequest(url.Get(), nullptr);
  ASSERT_EQ(m_app->m_popupWindows.size(), 1u);
  RECT popup{};
  ASSERT_TRUE(GetWindowRect(m_app->m_popupWindows[0]->m_hWnd, &popup));
  EXPECT_EQ(popup.left, ui.right);
}

TEST_F(FinderWindowsTest, AReloadedUiPageKeepsTheSearchRunning) {
  ServePage(u"http://host.test/", "", {{u"http://host.test/", u"text/html", 5}});
  ASSERT_EQ(Call(u"start", R"({"url": "http://host.test/", "filterEnabled": true,
                               "useFileExtFilter": false, "mimeFilter": "html"})"),
            1);
  UiWindow().LoadUrl(u"http://ui.test/");
  Run(10);
  m_logs.clear();
  EXPECT_EQ(State().m_running, 1);
  // A response after the reload reaches the new page without a new "start".
  m_app->m_myWindow.LoadUrl(u"http://host.test/");
  Run(10);
  ASSERT_EQ(m_logs.size(), 1u);
  EXPECT_EQ(m_logs[0].rfind("addResult ", 0), 0u);
}

}  // namespace

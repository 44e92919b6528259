#include "app/my_app.h"

#include "app/engine_environment.h"

#include "platform/layer_records.h"
#include "tests/unit/system_test_support.h"

#include <map>

namespace {

class ApplicationRunTest : public SystemTest {
 protected:
  void ServeUi(const std::string& script) {
    std::u16string url;
    ASSERT_TRUE(GetUiPageUrl(url));
    ServePage(url, script);
  }
  // A UI page that starts a search of a page which opens a popup, and closes after 30 ms.
  void ServeSearchWithPopup(const std::string& popupScript) {
    ServeUi(
        "service.uri = 'com.quillmoor.trawler'; service.method = 'start';"
        "service.params = JSON.stringify({url: 'http://p.test/', filterEnabled: false,"
        " useFileExtFilter: false, mimeFilter: ''}); service.call();"
        "setTimeout(() => sim.close(), 30);");
    ServePage(u"http://p.test/", "sim.openLink('http://p.test/popup');");
    ServePage(u"http://p.test/popup", popupScript);
  }
  int RunApplication(int cmdShow = SW_SHOWDEFAULT, LPWSTR commandLine = nullptr) {
    static char module;
    return wWinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, commandLine, cmdShow);
  }
};

// Top-level windows in the order they were made, and how each was shown.
class ShownWindows : public headless::Observer {
 public:
  ShownWindows() { headless::SetObserver(this); }
  ~ShownWindows() override { headless::SetObserver(nullptr); }
  void Window(headless::WindowEvent event, HWND window, HWND parent,
              const std::u16string&) override {
    if (parent) return;
    if (event == headless::WindowEvent::kCreated) order.push_back(window);
    if (event == headless::WindowEvent::kShown) {
      minimized[window] = platform::FindWindowRecord(window)->minimized;
    }
  }
  std::vector<HWND> order;
  std::map<HWND, bool> minimized;  // the windows shown
};

class ShowCommandTest : public ApplicationRunTest, public testing::WithParamInterface<int> {};

TEST_P(ShowCommandTest, BrowsingWindowsAreShownWhateverTheUiWindowWasShownWith) {
  ServeSearchWithPopup("");
  ShownWindows shown;
  WCHAR commandLine[] = u"--hidden --minimized http://other.test/";
  EXPECT_EQ(RunApplication(GetParam(), commandLine), 0);
  ASSERT_EQ(shown.order.size(), 3u);
  EXPECT_EQ(shown.minimized.count(shown.order[0]), GetParam() == SW_HIDE ? 0u : 1u);
  for (HWND browsing : {shown.order[1], shown.order[2]}) {
    ASSERT_EQ(shown.minimized.count(browsing), 1u);
    EXPECT_FALSE(shown.minimized[browsing]);
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, ShowCommandTest, testing::Values(SW_HIDE, SW_SHOWMINIMIZED));

TEST_F(ApplicationRunTest, UiPageThatClosesItsWindowEndsTheRunWithZero) {
  ServeUi("sim.log('ui'); sim.close();");
  const int before = headless::OleInitializations();
  EXPECT_EQ(RunApplication(), 0);
  EXPECT_EQ(headless::OleInitializations(), before);
  const sim::Records& records = sim::GetRecords();
  EXPECT_EQ(records.shutdowns, 1);
  EXPECT_FALSE(records.preferences.webSecurityEnabled);
  ASSERT_EQ(records.loads.size(), 1u);
  EXPECT_NE(records.loads[0].url.find(u"/Html/index.html"), std::u16string::npos);
  EXPECT_TRUE(WindowRegistry.empty());
  EXPECT_TRUE(headless::Windows().empty());
}

TEST_F(ApplicationRunTest, UiWindowIsShownWithIconsAndTakesDrops) {
  ServeUi("sim.dropFiles(['/tmp/a', '/tmp/b']); setTimeout(() => sim.close(), 5);");
  EXPECT_EQ(RunApplication(), 0);
  EXPECT_EQ(headless::DebugOutput(), u"/tmp/a\n/tmp/b\n");
}

TEST_F(ApplicationRunTest, UiWindowThatCannotBeMadeEndsTheRunWithAnError) {
  sim::FailCreationOf(&CLSID_WebView);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not be created"), std::string::npos);
  sim::FailCreationOf(nullptr);
}

TEST_F(ApplicationRunTest, UiWindowFailingAfterItsNativeWindowEndsTheRunWithAnError) {
  sim::FailOperation("initWithFrame");
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not be created"), std::string::npos);
  EXPECT_TRUE(headless::Windows().empty());
}

TEST_F(ApplicationRunTest, PopupWindowsAreDeletedAtTheEndEvenWhenClosedEarlier) {
  ServeSearchWithPopup("sim.close();");
  EXPECT_EQ(RunApplication(), 0);
  // Every web view the run made was released by its window's teardown.
  EXPECT_EQ(sim::GetRecords().viewsCreated.size(), 3u);
  EXPECT_EQ(sim::GetRecords().viewsClosed.size(), 3u);
}

}  // namespace

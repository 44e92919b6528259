#include "app/my_app.h"

#include "app/engine_environment.h"

#include "tests/unit/system_test_support.h"

namespace {

class ApplicationRunTest : public SystemTest {
 protected:
  void ServeUi(const std::string& script) {
    std::u16string url;
    ASSERT_TRUE(GetUiPageUrl(url));
    ServePage(url, script);
  }
  int RunApplication() {
    static char module;
    return wWinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOWDEFAULT);
  }
};

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

TEST_F(ApplicationRunTest, PopupWindowsAreDeletedAtTheEndEvenWhenClosedEarlier) {
  ServeUi(
      "service.uri = 'com.quillmoor.trawler'; service.method = 'start';"
      "service.params = JSON.stringify({url: 'http://p.test/', filterEnabled: false,"
      " useFileExtFilter: false, mimeFilter: ''}); service.call();"
      "setTimeout(() => sim.close(), 30);");
  ServePage(u"http://p.test/", "sim.openLink('http://p.test/popup');");
  ServePage(u"http://p.test/popup", "sim.close();");
  EXPECT_EQ(RunApplication(), 0);
  // Every web view the run made was released by its window's teardown.
  EXPECT_EQ(sim::GetRecords().viewsCreated.size(), 3u);
  EXPECT_EQ(sim::GetRecords().viewsClosed.size(), 3u);
}

}  // namespace

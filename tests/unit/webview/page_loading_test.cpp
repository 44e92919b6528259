#include "tests/unit/system_test_support.h"

#include <fstream>

namespace {

class PageLoadingTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    ASSERT_TRUE(m_window.Create(u"Trawler", nullptr));
  }
  std::u16string LastLoad() const {
    const auto& loads = sim::GetRecords().loads;
    return loads.empty() ? u"<none>" : loads.back().url;
  }
  CWebKitWindow m_window;
};

TEST_F(PageLoadingTest, AddressesAreNormalisedAndPathsBecomeFileUrls) {
  const std::string file = m_folder + "/my page.html";
  std::ofstream(file) << "<p>";
  const std::u16string widePath(file.begin(), file.end());
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"host.test", u"http://host.test"},
      {u"https://host.test/a", u"https://host.test/a"},
      {u"file:///opt/trawler/Html/index.html", u"file:///opt/trawler/Html/index.html"},
      {widePath,
       u"file://" + std::u16string(m_folder.begin(), m_folder.end()) + u"/my%20page.html"},
      {u"\\\\unreachable\\share\\a.txt", u"file://unreachable/share/a.txt"},
  };
  for (const auto& [text, url] : cases) {
    EXPECT_TRUE(m_window.LoadUrl(text.c_str()));
    EXPECT_EQ(LastLoad(), url);
  }
}

TEST_F(PageLoadingTest, RequestsAreGetsThatAcceptAnyCertificate) {
  m_window.LoadUrl(u"https://self-signed.test/");
  const sim::LoadRecord& load = sim::GetRecords().loads.back();
  EXPECT_EQ(load.method, u"GET");
  EXPECT_EQ(load.cachePolicy, WebURLRequestUseProtocolCachePolicy);
  EXPECT_EQ(load.timeout, 60.0);
  EXPECT_TRUE(load.allowsAnyHttpsCertificate);
  EXPECT_EQ(load.view, m_window.m_webView);
  EXPECT_TRUE(headless::Windows().back().visible);  // the view's window is shown
}

TEST_F(PageLoadingTest, Utf8TextIsConvertedAndEmptyTextRefused) {
  EXPECT_TRUE(m_window.LoadUrlUtf8("caf\xC3\xA9.test"));
  EXPECT_EQ(LastLoad(), u"http://caf\u00E9.test");
  const size_t loads = sim::GetRecords().loads.size();
  EXPECT_FALSE(m_window.LoadUrlUtf8(""));
  EXPECT_FALSE(m_window.LoadUrlUtf8(nullptr));
  EXPECT_EQ(sim::GetRecords().loads.size(), loads);
}

TEST_F(PageLoadingTest, WithoutAWebViewNothingLoads) {
  CWebKitWindow bare;
  EXPECT_TRUE(bare.LoadUrl(u"host.test"));
  EXPECT_FALSE(bare.LoadUrlUtf8("host.test"));
  EXPECT_EQ(bare.GetGlobalContext(), nullptr);
  EXPECT_EQ(bare.GetGlobalObject(), nullptr);
  EXPECT_TRUE(sim::GetRecords().loads.empty());
  EXPECT_FALSE(bare.SetIcons());
}

TEST_F(PageLoadingTest, GlobalContextIsThePagesOnceItsWindowObjectExists) {
  EXPECT_EQ(m_window.GetGlobalContext(), nullptr);
  ServePage(u"http://h.test/", "var marker = 1;");
  m_window.LoadUrl(u"http://h.test/");
  Run(10);
  ASSERT_NE(m_window.GetGlobalContext(), nullptr);
  EXPECT_EQ(m_window.GetGlobalObject(), js::JSContextGetGlobalObject(m_window.GetGlobalContext()));
}

TEST_F(PageLoadingTest, IconsComeFromResourceGroup101) {
  ASSERT_TRUE(m_window.SetIcons());
  const headless::WindowInfo info = headless::Windows().front();
  EXPECT_NE(info.bigIcon.find(u"/res/icon-101-32.png"), std::u16string::npos);
  EXPECT_NE(info.smallIcon.find(u"/res/icon-101-16.png"), std::u16string::npos);
}

// A window whose creation fails at any step is left without a web view and with no
// registration or reference of its creation left behind, so it can be made again.
class FailedCreationTest : public SystemTest, public testing::WithParamInterface<const char*> {};

TEST_P(FailedCreationTest, TakesBackWhatItTook) {
  const size_t registrations = sim::ObserverRegistrations();
  const unsigned long centerReferences = sim::DefaultCenterReferences();
  CWebKitWindow& window = Make<CWebKitWindow>();
  sim::FailOperation(GetParam());
  EXPECT_FALSE(window.Create(u"Trawler", nullptr));
  EXPECT_EQ(window.m_webView, nullptr);
  EXPECT_EQ(window.m_notificationCenter, nullptr);
  EXPECT_EQ(sim::ObserverRegistrations(), registrations);
  EXPECT_EQ(sim::DefaultCenterReferences(), centerReferences);
  EXPECT_TRUE(WindowRegistry.empty());
  EXPECT_EQ(sim::LiveObjects(), m_liveObjects);

  sim::Reset();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  EXPECT_EQ(sim::ObserverRegistrations(), 3u);
}

INSTANTIATE_TEST_SUITE_P(EachStep, FailedCreationTest,
                         testing::Values("addObserver", "setHostWindow", "initWithFrame",
                                         "viewWindow"));

TEST_F(SystemTest, FailedCenterCreationLeavesNoWebView) {
  CWebKitWindow& window = Make<CWebKitWindow>();
  sim::FailCreationOf(&CLSID_WebNotificationCenter);
  EXPECT_FALSE(window.Create(u"Trawler", nullptr));
  EXPECT_EQ(window.m_webView, nullptr);
  EXPECT_EQ(sim::LiveObjects(), m_liveObjects);
}

TEST_F(SystemTest, MadeAgainAWindowHoldsOneCenterReferenceAndHearsEachNotificationOnce) {
  struct Counting : CWebKitWindow {
    void OnProgressStarted() override { ++started; }
    int started = 0;
  };
  // Another window keeps the run going while this one is closed.
  ASSERT_TRUE(Make<CWebKitWindow>().Create(u"Other", nullptr));
  Counting& window = Make<Counting>();
  const unsigned long centerReferences = sim::DefaultCenterReferences();
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  SendMessageW(window.m_hWnd, WM_CLOSE, 0, 0);
  // The closed view's registrations went with it.
  EXPECT_EQ(sim::ObserverRegistrations(), 3u);
  ASSERT_TRUE(window.Create(u"Trawler", nullptr));
  EXPECT_EQ(sim::DefaultCenterReferences(), centerReferences + 1);
  EXPECT_EQ(sim::ObserverRegistrations(), 6u);
  ServePage(u"http://h.test/", "");
  window.LoadUrl(u"http://h.test/");
  Run(10);
  EXPECT_EQ(window.started, 1);
}

TEST_F(PageLoadingTest, AMissingMainFrameLoadsNothing) {
  sim::FailOperation("mainFrame");
  EXPECT_TRUE(m_window.LoadUrl(u"http://h.test/"));
  EXPECT_TRUE(sim::GetRecords().loads.empty());
  EXPECT_EQ(m_window.GetGlobalContext(), nullptr);
}

}  // namespace

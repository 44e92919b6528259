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

}  // namespace

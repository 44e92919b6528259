#include "finder/finder_commands.h"

#include "platform/layer_records.h"
#include "tests/unit/finder/finder_test_support.h"

namespace {

const char* const kStart =
    R"({"url": "http://host.test/", "filterEnabled": true, "useFileExtFilter": false,
        "mimeFilter": "video"})";

TEST_F(FinderTest, ForeignServicesAndUnknownMethodsAnswerZero) {
  EXPECT_EQ(Call(u"pause", "{}", u"COM.QUILLMOOR.TRAWLER"), 0);
  EXPECT_EQ(Call(u"pause", "{}", u"com.quillmoor.trawler "), 0);
  EXPECT_EQ(Call(u"pause", "{}", u""), 0);
  for (const char16_t* method : {u"Start", u"copyurl", u"", u"start "}) {
    EXPECT_EQ(Call(method, kStart), 0);
  }
  EXPECT_EQ(Call(u"pause", "{}"), 1);
  EXPECT_TRUE(sim::GetRecords().loads.size() == 1);  // the UI page only
}

TEST_F(FinderTest, StartWithBadParametersAnswersZeroAndChangesNothing) {
  const char* const cases[] = {
      R"({"url": "host.test", "filterEnabled": 1, "useFileExtFilter": false, "mimeFilter": "a"})",
      R"({"url": "host.test", "filterEnabled": true, "mimeFilter": "a"})",
      R"({"url": 5, "filterEnabled": true, "useFileExtFilter": false, "mimeFilter": "a"})",
      R"({"filterEnabled": false, "useFileExtFilter": false, "mimeFilter": "a"})",
      R"({"url": "host.test", "filterEnabled": false, "useFileExtFilter": true, "mimeFilter": "a"})",
      R"({"url": "host.test", "filterEnabled": false, "useFileExtFilter": false, "mimeFilter": 3})",
      R"(["host.test", true, false])",
      "5",
      "",
  };
  for (const char* params : cases) {
    EXPECT_EQ(Call(u"start", params), 0) << params;
    EXPECT_EQ(State().m_filterEnabled, 1);
    EXPECT_EQ(State().m_useFileExtFilter, 0);
    EXPECT_EQ(State().m_mimeFilter, u"");
    EXPECT_EQ(m_app->m_myWindow.m_webView, nullptr);
  }
  EXPECT_EQ(sim::GetRecords().loads.size(), 1u);
}

TEST_F(FinderTest, StartWithAnEmptyAddressStoresTheSettingsAndFails) {
  EXPECT_EQ(Call(u"start", R"({"url": "", "filterEnabled": false, "useFileExtFilter": true,
                               "fileExtFilter": "*.mp3"})"),
            0);
  EXPECT_EQ(State().m_filterEnabled, 0);
  EXPECT_EQ(State().m_useFileExtFilter, 1);
  EXPECT_EQ(State().m_extensionSet, std::set<std::u16string>{u".mp3"});
  EXPECT_NE(m_app->m_myWindow.m_webView, nullptr);
  EXPECT_EQ(State().m_running, 0);
}

TEST_F(FinderTest, StartLoadsTheTypedAddressAndTellsThePageTheNormalisedOne) {
  EXPECT_EQ(Call(u"start", R"({"url": "host.test", "filterEnabled": true,
                               "useFileExtFilter": false, "mimeFilter": ""})"),
            1);
  EXPECT_EQ(m_logs, std::vector<std::string>{"updateInputUrl http://host.test"});
  EXPECT_EQ(sim::GetRecords().loads.back().url, u"http://host.test");
  EXPECT_EQ(sim::GetRecords().loads.back().view, m_app->m_myWindow.m_webView);
  EXPECT_EQ(State().m_running, 1);
  EXPECT_EQ(State().m_paused, 0);
  WCHAR title[16] = {};
  GetWindowTextW(m_app->m_myWindow.m_hWnd, title, 16);
  EXPECT_EQ(std::u16string(title), u"Trawler");

  m_logs.clear();
  EXPECT_EQ(Call(u"start", kStart), 1);
  EXPECT_TRUE(m_logs.empty());  // nothing to normalise
}

TEST_F(FinderTest, StartKeepsTheFilterItDidNotSelect) {
  Call(u"start", kStart);
  Call(u"start", R"({"url": "http://host.test/", "filterEnabled": true,
                     "useFileExtFilter": true, "fileExtFilter": "*.mp3;*.mp4"})");
  EXPECT_EQ(State().m_mimeFilter, u"video");
  EXPECT_EQ(State().m_extensionSet, (std::set<std::u16string>{u".mp3", u".mp4"}));
  Call(u"start", R"({"url": "http://host.test/", "filterEnabled": true,
                     "useFileExtFilter": false, "mimeFilter": "audio"})");
  EXPECT_EQ(State().m_mimeFilter, u"audio");
  EXPECT_EQ(State().m_extensionSet, (std::set<std::u16string>{u".mp3", u".mp4"}));
}

TEST_F(FinderTest, StartFailsWhenTheBrowsingWindowCannotBeMade) {
  sim::FailCreationOf(&CLSID_WebView);
  EXPECT_EQ(Call(u"start", kStart), 0);
  sim::FailCreationOf(nullptr);
  EXPECT_EQ(State().m_mimeFilter, u"video");
  EXPECT_EQ(State().m_running, 0);
}

TEST_F(FinderTest, StartAfterAFailedCreationMakesTheWindowAgain) {
  ServePage(u"http://host.test/", "", {{u"http://host.test/", u"text/html", 5}});
  sim::FailOperation("addObserver");
  EXPECT_EQ(Call(u"start", kStart), 0);
  EXPECT_EQ(m_app->m_myWindow.m_webView, nullptr);
  EXPECT_EQ(State().m_running, 0);
  sim::FailOperation("addObserver", false);
  EXPECT_EQ(Call(u"start", R"({"url": "http://host.test/", "filterEnabled": false,
                               "useFileExtFilter": false, "mimeFilter": ""})"),
            1);
  Run(10);
  ASSERT_EQ(m_logs.size(), 1u);
  EXPECT_EQ(m_logs[0].rfind("addResult {", 0), 0u) << m_logs[0];
  EXPECT_NE(m_logs[0].find("\"url\":\"http://host.test/\""), std::string::npos) << m_logs[0];
}

TEST_F(FinderTest, PauseAndStopFollowTheSearchStates) {
  struct Step {
    const char16_t* method;
    int running;
    int paused;
  };
  const Step steps[] = {
      {u"pause", 0, 0}, {u"stop", 0, 0},  {u"stop", 0, 0},  {u"start", 1, 0}, {u"pause", 1, 1},
      {u"pause", 1, 0}, {u"pause", 1, 1}, {u"start", 1, 0}, {u"stop", 0, 0},  {u"pause", 0, 0},
  };
  IWebView* firstView = nullptr;
  for (const Step& step : steps) {
    EXPECT_EQ(Call(step.method, kStart), 1);
    EXPECT_EQ(State().m_running, step.running);
    EXPECT_EQ(State().m_paused, step.paused);
    if (!firstView) firstView = m_app->m_myWindow.m_webView;
    EXPECT_EQ(m_app->m_myWindow.m_webView, firstView);  // reused throughout
  }
  EXPECT_EQ(sim::GetRecords().viewsCreated.size(), 2u);
}

TEST_F(FinderTest, OpenAndCopyHandTheAddressOnAsUtf16) {
  EXPECT_EQ(Call(u"open", R"({"url": "http://h.test/caf\u00e9"})"), 1);
  ASSERT_EQ(headless::ShellOpens().size(), 1u);
  EXPECT_EQ(headless::ShellOpens()[0].target, u"http://h.test/caf\u00E9");
  EXPECT_EQ(Call(u"copyURL", R"({"url": "http://h.test/\u00e9t\u00e9"})"), 1);
  ASSERT_EQ(headless::ClipboardTexts().size(), 1u);
  EXPECT_EQ(headless::ClipboardTexts()[0], u"http://h.test/\u00E9t\u00E9");

  // Web and file addresses only: nothing else reaches the desktop.
  for (const char* params : {R"({"url": "HTTPS://h.test/"})", R"({"url": "file:///tmp/a.mp4"})"}) {
    EXPECT_EQ(Call(u"open", params), 1) << params;
  }
  for (const char* params : {R"j({"url": "javascript:alert(1)"})j", R"({"url": "evil.desktop"})",
                             R"({"url": "/usr/bin/xterm"})", R"({"url": "ftp://h.test/"})",
                             R"({"url": "httpx://h.test/"})", R"({"url": "http"})"}) {
    EXPECT_EQ(Call(u"open", params), 0) << params;
  }
  EXPECT_EQ(headless::ShellOpens().size(), 3u);

  headless::SetShellSucceeds(false);
  EXPECT_EQ(Call(u"open", R"({"url": "http://h.test/"})"), 0);
  for (const char* params : {R"({"url": ""})", "{}", R"({"url": 1})", "null", "[1]"}) {
    EXPECT_EQ(Call(u"open", params), 0) << params;
    EXPECT_EQ(Call(u"copyURL", params), 0) << params;
  }
  EXPECT_EQ(headless::ClipboardTexts().size(), 1u);
}

TEST_F(FinderTest, CopyPutsAZeroTerminatedStringOfTheAddressesLength) {
  const std::pair<const char*, std::u16string> cases[] = {
      {R"({"url": "http://h.test/a"})", u"http://h.test/a"},
      {R"({"url": "http://h.test/\u00e9t\ud83c\udfb5"})", u"http://h.test/\u00E9t\U0001F3B5"},
  };
  for (const auto& [params, address] : cases) {
    ASSERT_EQ(Call(u"copyURL", params), 1);
    const HGLOBAL block = platform::ClipboardData();
    ASSERT_EQ(GlobalSize(block), (address.size() + 1) * sizeof(WCHAR));
    const auto* text = static_cast<const WCHAR*>(GlobalLock(block));
    EXPECT_EQ(std::u16string(text, address.size()), address);
    EXPECT_EQ(text[address.size()], u'\0');
    GlobalUnlock(block);
  }
}

TEST_F(FinderTest, CopyFailsWhileAnotherOwnerHoldsTheClipboard) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(Call(u"copyURL", R"({"url": "http://h.test/"})"), 0);
  CloseClipboard();
  EXPECT_TRUE(headless::ClipboardTexts().empty());
}

}  // namespace

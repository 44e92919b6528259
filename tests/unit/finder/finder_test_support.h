#pragma once

// A running application for the finder's tests: the application object (as g_pApp), its
// UI window showing a scripted UI page, and the page's sim.log lines.

#include "app/my_app.h"
#include "bridge/json_text.h"
#include "finder/finder_commands.h"
#include "tests/unit/system_test_support.h"

#include <memory>

// A response whose body the view keeps and a download of it gets.
inline sim::Response Served(const char16_t* url, const char16_t* type, const std::string& body) {
  sim::Response response(url, type, static_cast<long long>(body.size()));
  response.body = body;
  return response;
}

class FinderTest : public SystemTest, public sim::Observer {
 protected:
  static constexpr const char* kUiScript =
      "function updateInputUrl(u) { sim.log('updateInputUrl ' + u); }"
      "function addResult(r) { sim.log('addResult ' + r); }";

  void SetUp() override { StartApplication(kUiScript); }

  void StartApplication(const std::string& uiScript) {
    SystemTest::SetUp();
    sim::SetObserver(this);
    m_app = std::make_unique<CMyApp>(nullptr, SW_SHOW);
    g_pApp = m_app.get();
    ServePage(u"http://ui.test/", uiScript);
    ASSERT_TRUE(UiWindow().Create(u"Trawler", nullptr));
    UiWindow().LoadUrl(u"http://ui.test/");
    Run(10);
    m_logs.clear();
  }

  void TearDown() override {
    SystemTest::TearDown();
    sim::SetObserver(nullptr);
    m_app.reset();
    g_pApp = nullptr;
  }

  void Log(const std::u16string& text) override { m_logs.emplace_back(text.begin(), text.end()); }

  CLocalWindow& UiWindow() { return m_app->m_localWindow; }
  FinderState& State() { return m_app->m_localWindow; }

  // Runs a command as the page would send it: parameters as JSON text.
  int Call(const std::u16string& method, const std::string& paramsText,
           const std::u16string& uri = u"com.quillmoor.trawler") {
    Json::Value params;
    ReadJsonText(paramsText, params);
    Json::Value answer;
    const int result = HandleFinderCall(uri, method, params, nullptr, answer);
    EXPECT_EQ(answer["returnValue"].asInt(), result);
    return result;
  }

  std::unique_ptr<CMyApp> m_app;
  std::vector<std::string> m_logs;
};

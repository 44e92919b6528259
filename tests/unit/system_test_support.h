#pragma once

// A fixture for tests of the system's classes on the headless back end and the simulated
// engine: a fresh engine and records per test, the window class registered, application
// data in a scratch folder, and a message loop that runs virtual time.

#include "engine/testing/sim_engine.h"
#include "platform/headless/observation.h"
#include "webview/webkit_window.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

class SystemTest : public testing::Test {
 protected:
  void SetUp() override {
    static const bool registered = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.lpfnWndProc = WebKitWindowProc;
      windowClass.lpszClassName = kWebKitWindowClass;
      return RegisterClassExW(&windowClass) != 0;
    }();
    ASSERT_TRUE(registered);
    sim::Reset();
    headless::ResetRecords();
    headless::DiscardMessages();
    char folder[] = "/tmp/trawler-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    m_folder = folder;
    setenv("XDG_DATA_HOME", (m_folder + "/data").c_str(), 1);
    m_liveObjects = sim::LiveObjects();
  }

  void TearDown() override {
    // The engine lets go of the observers (members of the windows) before they go.
    shutDownWebKit();
    for (const headless::WindowInfo& window : headless::Windows()) DestroyWindow(window.handle);
    WindowRegistry.clear();
    EXPECT_EQ(sim::LiveObjects(), m_liveObjects) << "engine references not released";
    headless::SetMessageBoxAnswerer(nullptr);
    headless::SetShellSucceeds(true);
    std::system(("rm -rf '" + m_folder + "'").c_str());
  }

  // Runs the message loop for the given virtual milliseconds (or until the run quits).
  static void Run(uint64_t milliseconds = 1000) {
    sim::After(milliseconds, [] { PostQuitMessage(0); });
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  }

  // A page at the URL with one response and the script.
  static void ServePage(const std::u16string& url, const std::string& script,
                        std::vector<sim::Response> responses = {}) {
    if (responses.empty()) responses.push_back({url, u"text/html", 1});
    sim::SetPage(url, sim::Page{responses, {script}});
  }

  // A window object that lives until after TearDown, so its native window can be torn
  // down properly first.
  template <typename Window>
  Window& Make() {
    m_windows.push_back(std::make_unique<Window>());
    return static_cast<Window&>(*m_windows.back());
  }

  std::string m_folder;
  long m_liveObjects = 0;
  std::vector<std::unique_ptr<CWebKitWindow>> m_windows;
};

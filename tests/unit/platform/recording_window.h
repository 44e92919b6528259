#pragma once

// Windows of a test class whose procedure records every message before default processing,
// for the tests of either back end.

#include "platform/layer_records.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <vector>

namespace recording {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Seen> g_seen;
inline LPVOID g_createParams = nullptr;
inline LRESULT g_createAnswer = 0;

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back({window, message, wParam, lParam});
  if (message == WM_CREATE) {
    g_createParams = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
    return g_createAnswer;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// One registered class for the whole executable; each test starts with no windows and ends
// with none.
class RecordingWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const ATOM atom = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.lpfnWndProc = RecordingProc;
      windowClass.lpszClassName = u"TEST_WINDOW";
      windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      return RegisterClassExW(&windowClass);
    }();
    ASSERT_NE(atom, 0);
  }
  void SetUp() override {
    g_seen.clear();
    g_createAnswer = 0;
  }
  void TearDown() override {
    for (HWND window : platform::LiveWindows()) DestroyWindow(window);
  }

  static HWND Create(const char16_t* title = u"Trawler", HWND parent = nullptr,
                     void* param = nullptr) {
    return CreateWindowExW(0, u"test_window", title, parent ? WS_CHILD : WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, parent, nullptr, nullptr, param);
  }

  static std::vector<UINT> Messages(HWND window) {
    std::vector<UINT> messages;
    for (const Seen& seen : g_seen) {
      if (seen.window == window) messages.push_back(seen.message);
    }
    return messages;
  }
};

}  // namespace recording

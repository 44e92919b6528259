// The window and loop behaviour both back ends share; this file is built into the tests of
// each back end.

#include "tests/unit/platform/recording_window.h"

#include <string>
#include <vector>

namespace {

using recording::g_createAnswer;
using recording::g_createParams;
using recording::g_seen;
using recording::RecordingProc;
using recording::Seen;

class WindowsTest : public recording::RecordingWindowTest {};

TEST_F(WindowsTest, RegisteringTheSameClassTwiceFails) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = RecordingProc;
  windowClass.lpszClassName = u"TEST_WINDOW";
  EXPECT_EQ(RegisterClassExW(&windowClass), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  windowClass.lpszClassName = u"OTHER";
  windowClass.cbSize = 48;
  EXPECT_EQ(RegisterClassExW(&windowClass), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(WindowsTest, CreateSendsNcCreateThenCreateWithTheParameter) {
  int owner = 0;
  HWND window = Create(u"Trawler", nullptr, &owner);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Messages(window), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(g_createParams, &owner);
  WCHAR title[8] = {};
  EXPECT_EQ(GetWindowTextW(window, title, 8), 7);
  EXPECT_EQ(std::u16string(title), u"Trawler");
  EXPECT_EQ(GetWindowTextW(window, title, 4), 3);
  EXPECT_EQ(std::u16string(title), u"Tra");
}

TEST_F(WindowsTest, UnknownClassOrRefusedCreateGivesNull) {
  EXPECT_EQ(
      CreateWindowExW(0, u"NO_SUCH_CLASS", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  g_createAnswer = -1;
  EXPECT_EQ(Create(), nullptr);
  EXPECT_TRUE(platform::LiveWindows().empty());
}

TEST_F(WindowsTest, DefaultSizeAndClientRectangle) {
  HWND window = Create();
  RECT client{};
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.left, 0);
  EXPECT_GT(client.right, 0);
  EXPECT_GT(client.bottom, 0);
  ASSERT_TRUE(MoveWindow(window, 10, 20, 300, 200, TRUE));
  RECT bounds{};
  GetWindowRect(window, &bounds);
  EXPECT_EQ(bounds.left, 10);
  EXPECT_EQ(bounds.bottom, 220);
  const Seen& size = g_seen.back();
  EXPECT_EQ(size.message, UINT{WM_SIZE});
  EXPECT_EQ(LOWORD(size.lParam), 300);
  EXPECT_EQ(HIWORD(size.lParam), 200);
}

TEST_F(WindowsTest, DestroySendsDestroyThenNcDestroyAndFreesTheHandle) {
  HWND window = Create();
  HWND child = Create(u"", window);
  g_seen.clear();
  ASSERT_TRUE(DestroyWindow(window));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& seen : g_seen) order.emplace_back(seen.window, seen.message);
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{window, WM_DESTROY},
                                                       {child, WM_DESTROY},
                                                       {child, WM_NCDESTROY},
                                                       {window, WM_NCDESTROY}}));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(WindowsTest, CloseByDefaultDestroys) {
  HWND window = Create();
  g_seen.clear();
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(Messages(window), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowsTest, FirstShowSizesTheWindowAndMinimisingSizesAgain) {
  HWND window = Create();
  g_seen.clear();
  EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
  EXPECT_EQ(Messages(window), (std::vector<UINT>{WM_SHOWWINDOW, WM_SIZE}));
  g_seen.clear();
  EXPECT_TRUE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(Messages(window).empty());
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_EQ(Messages(window), (std::vector<UINT>{WM_SIZE}));
  EXPECT_EQ(g_seen.back().wParam, SIZE_MINIMIZED);
  EXPECT_TRUE(platform::FindWindowRecord(window)->visible);
}

TEST_F(WindowsTest, IconsAndBackgroundThroughDefaultProcessing) {
  HWND window = Create();
  const HICON icon = reinterpret_cast<HICON>(uintptr_t{0x1234});
  EXPECT_EQ(SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
  EXPECT_EQ(SendMessageW(window, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(WindowsTest, PostedMessagesWaitForTheLoopAndSentOnesDoNot) {
  HWND window = Create();
  g_seen.clear();
  ASSERT_TRUE(PostMessageW(window, WM_USER, 1, 0));
  SendMessageW(window, WM_USER, 2, 0);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].wParam, 2u);
  PostQuitMessage(3);
  MSG message{};
  ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
  EXPECT_EQ(TranslateAcceleratorW(message.hwnd, nullptr, &message), 0);
  DispatchMessageW(&message);
  EXPECT_EQ(g_seen.back().wParam, 1u);
  EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
  EXPECT_EQ(message.message, UINT{WM_QUIT});
  EXPECT_EQ(message.wParam, 3u);
}

TEST_F(WindowsTest, SecondDestroyPostedToADestroyedWindowHasNoEffect) {
  HWND window = Create();
  ASSERT_TRUE(PostMessageW(window, WM_DESTROY, 0, 0));
  DestroyWindow(window);
  g_seen.clear();
  EXPECT_FALSE(PostMessageW(window, WM_DESTROY, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  PostQuitMessage(0);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  EXPECT_TRUE(g_seen.empty());
}

TEST(WindowsDeathTest, LoopThatCanOnlyWaitForeverEndsTheRun) {
  EXPECT_EXIT(
      {
        MSG message{};
        GetMessageW(&message, nullptr, 0, 0);
      },
      testing::ExitedWithCode(70), "nothing left to wait for");
}

}  // namespace

#include "tests/unit/system_test_support.h"

#include "webview/com_ptr.h"

namespace {

class WindowChromeTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    ASSERT_TRUE(m_window.Create(u"Trawler", nullptr));
  }

  // The identifiers left after the default trimming of a menu with these items.
  std::vector<UINT> Trim(const std::vector<UINT>& items) {
    HMENU menu = CreatePopupMenu();
    for (UINT id : items) AppendMenuW(menu, id ? MF_STRING : MF_SEPARATOR, id, u"item");
    HMENU result = nullptr;
    m_window.OnContextMenu(nullptr, menu, &result);
    EXPECT_EQ(result, menu);
    std::vector<UINT> kept;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_ID;
      GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
      kept.push_back(info.wID);
    }
    DestroyMenu(menu);
    return kept;
  }

  CWebKitWindow m_window;
};

TEST_F(WindowChromeTest, ContextMenuKeepsOnlyEditingAndNavigation) {
  EXPECT_EQ(Trim({8, 0, 12}), std::vector<UINT>{8});
  EXPECT_EQ(Trim({8, 9, 10, 11, 13, 14}), (std::vector<UINT>{8, 9, 10, 11, 13, 14}));
  EXPECT_EQ(Trim({1, 2, 3, 2000, 12, 0}), std::vector<UINT>{});
  EXPECT_EQ(Trim({}), std::vector<UINT>{});
  EXPECT_EQ(headless::DebugOutput(), u"");
}

TEST_F(WindowChromeTest, DialogsUseTheWindowTitleAsCaption) {
  m_window.OnAlert(nullptr);
  BOOL answer = TRUE;
  ScopedBstr question(u"Sure?");
  m_window.OnConfirm(question.Get(), &answer);
  EXPECT_FALSE(answer);
  headless::SetMessageBoxAnswerer([](UINT) { return IDYES; });
  m_window.OnConfirm(nullptr, &answer);
  EXPECT_TRUE(answer);
  const auto& boxes = headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, u"Trawler");
  EXPECT_EQ(boxes[0].text, u"");
  EXPECT_EQ(boxes[0].type, MB_OK);
  EXPECT_EQ(boxes[0].owner, m_window.m_hWnd);
  EXPECT_EQ(boxes[1].type, MB_YESNO | MB_SETFOREGROUND);
}

TEST_F(WindowChromeTest, NewWindowRequestsGoToTheShell) {
  ScopedBstr url(u"http://elsewhere.test/");
  ScopedBstr frame(u"_blank");
  m_window.OnNewWindowRequest(url.Get(), frame.Get());
  ASSERT_EQ(headless::ShellOpens().size(), 1u);
  EXPECT_EQ(headless::ShellOpens()[0].verb, u"open");
  EXPECT_EQ(headless::ShellOpens()[0].target, u"http://elsewhere.test/");
  IWebView* untouched = reinterpret_cast<IWebView*>(uintptr_t{1});
  m_window.OnCreateWebView(url.Get(), &untouched);
  EXPECT_EQ(untouched, reinterpret_cast<IWebView*>(uintptr_t{1}));
}

TEST_F(WindowChromeTest, FrameMovesAndMeasuresTheTopLevelWindow) {
  RECT frame{50, 60, 450, 360};
  m_window.SetFrame(&frame);
  RECT measured{};
  m_window.GetFrame(&measured);
  EXPECT_EQ(measured.left, 50);
  EXPECT_EQ(measured.bottom, 360);
  m_window.SetFrame(nullptr);
  m_window.GetFrame(nullptr);
}

}  // namespace

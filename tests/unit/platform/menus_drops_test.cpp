#include "platform/drops.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

UINT ItemId(HMENU menu, UINT position) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
  EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info));
  return info.wID;
}

TEST(MenusTest, ItemsReadByPosition) {
  HMENU menu = CreatePopupMenu();
  HMENU sub = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 8, u"Copy"));
  ASSERT_TRUE(AppendMenuW(menu, MF_SEPARATOR, 0, nullptr));
  ASSERT_TRUE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"More"));
  EXPECT_EQ(GetMenuItemCount(menu), 3);

  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
  ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &info));
  EXPECT_EQ(info.fType, MFT_SEPARATOR);
  EXPECT_EQ(info.wID, 0u);
  ASSERT_TRUE(GetMenuItemInfoW(menu, 2, TRUE, &info));
  EXPECT_EQ(info.hSubMenu, sub);
  ASSERT_TRUE(GetMenuItemInfoW(menu, 8, FALSE, &info));
  EXPECT_EQ(info.fType, MFT_STRING);
  EXPECT_FALSE(GetMenuItemInfoW(menu, 3, TRUE, &info));
  EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_EQ(GetMenuItemCount(sub), -1);  // destroyed with its parent
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
}

TEST(MenusTest, RemovalFromTheHighestPositionKeepsTheOthersValid) {
  HMENU menu = CreatePopupMenu();
  for (UINT id : {8u, 0u, 12u, 9u, 21u}) AppendMenuW(menu, MF_STRING, id, u"item");
  for (UINT position : {4u, 2u, 1u}) EXPECT_TRUE(RemoveMenu(menu, position, MF_BYPOSITION));
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(ItemId(menu, 0), 8u);
  EXPECT_EQ(ItemId(menu, 1), 9u);
  SetLastError(0);
  EXPECT_FALSE(RemoveMenu(menu, 2, MF_BYPOSITION));
  EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
  DestroyMenu(menu);
  EXPECT_FALSE(RemoveMenu(menu, 0, MF_BYPOSITION));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
}

TEST(DropsTest, PathsComeBackInDropOrderWithTheirLengths) {
  const std::vector<std::u16string> paths = {u"/tmp/a.txt", u"/tmp/b c.mp3",
                                             u"/tmp/\u00E9t\u00E9.ogg"};
  HDROP drop = platform::CreateDrop(paths);
  ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 3u);
  for (UINT i = 0; i < 3; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    EXPECT_EQ(length, paths[i].size());
    std::u16string buffer(length + 1, u'x');
    EXPECT_EQ(DragQueryFileW(drop, i, buffer.data(), length + 1), length);
    EXPECT_EQ(buffer, paths[i] + u'\0');
  }
  WCHAR small[4];
  EXPECT_EQ(DragQueryFileW(drop, 0, small, 4), 3u);
  EXPECT_EQ(std::u16string(small), u"/tm");
  EXPECT_EQ(DragQueryFileW(drop, 3, small, 4), 0u);
  DragFinish(drop);
  EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 0u);
}

}  // namespace

#include "engine/webkitgtk/context_menu_gtk.h"

#include "webview/web_engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> TagsOf(HMENU menu) {
  std::vector<UINT> tags;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    tags.push_back(info.wID);
  }
  return tags;
}

std::vector<WebKitContextMenuAction> ActionsOf(WebKitContextMenu* menu) {
  std::vector<WebKitContextMenuAction> actions;
  for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
    actions.push_back(
        webkit_context_menu_item_get_stock_action(WEBKIT_CONTEXT_MENU_ITEM(item->data)));
  }
  return actions;
}

TEST(ContextMenuGtkTest, ItemsBecomeTheEnginesTagsAndTheTrimmedMenuComesBack) {
  WebKitContextMenu* menu = webkit_context_menu_new();
  for (WebKitContextMenuAction action :
       {WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, WEBKIT_CONTEXT_MENU_ACTION_RELOAD,
        WEBKIT_CONTEXT_MENU_ACTION_COPY, WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW,
        WEBKIT_CONTEXT_MENU_ACTION_PASTE, WEBKIT_CONTEXT_MENU_ACTION_CUT,
        WEBKIT_CONTEXT_MENU_ACTION_STOP, WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD}) {
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_stock_action(action));
  }
  webkit_context_menu_insert(menu, webkit_context_menu_item_new_separator(), 2);
  HMENU items = webkitgtk::MenuOf(menu);
  const std::vector<UINT> tags = TagsOf(items);
  ASSERT_EQ(tags.size(), 9u);
  EXPECT_EQ(std::vector<UINT>(tags.begin(), tags.begin() + 4),
            (std::vector<UINT>{WebMenuItemTagGoBack, WebMenuItemTagReload, 0, WebMenuItemTagCopy}));
  // An item the engine names no tag for gets one outside the set.
  EXPECT_GT(tags[4], UINT{WebMenuItemTagPaste});
  EXPECT_EQ(std::vector<UINT>(tags.begin() + 5, tags.end()),
            (std::vector<UINT>{WebMenuItemTagPaste, WebMenuItemTagCut, WebMenuItemTagStop,
                               WebMenuItemTagGoForward}));

  // The delegate removes reload, the separator and the link item.
  for (UINT position : {4u, 2u, 1u}) ASSERT_TRUE(RemoveMenu(items, position, MF_BYPOSITION));
  webkitgtk::ApplyMenu(menu, items);
  EXPECT_EQ(ActionsOf(menu),
            (std::vector<WebKitContextMenuAction>{
                WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, WEBKIT_CONTEXT_MENU_ACTION_COPY,
                WEBKIT_CONTEXT_MENU_ACTION_PASTE, WEBKIT_CONTEXT_MENU_ACTION_CUT,
                WEBKIT_CONTEXT_MENU_ACTION_STOP, WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD}));
  DestroyMenu(items);
  g_object_unref(menu);
}

}  // namespace

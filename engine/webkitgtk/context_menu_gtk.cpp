#include "engine/webkitgtk/context_menu_gtk.h"

#include "webview/web_engine.h"

#include <vector>

namespace webkitgtk {
namespace {

// Tags for the items the engine names no tag for: past every tag it does name.
constexpr UINT kOtherTags = 1000;

UINT TagOf(WebKitContextMenuItem* item) {
  if (webkit_context_menu_item_is_separator(item)) return 0;
  switch (webkit_context_menu_item_get_stock_action(item)) {
    case WEBKIT_CONTEXT_MENU_ACTION_COPY:
      return WebMenuItemTagCopy;
    case WEBKIT_CONTEXT_MENU_ACTION_GO_BACK:
      return WebMenuItemTagGoBack;
    case WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD:
      return WebMenuItemTagGoForward;
    case WEBKIT_CONTEXT_MENU_ACTION_STOP:
      return WebMenuItemTagStop;
    case WEBKIT_CONTEXT_MENU_ACTION_RELOAD:
      return WebMenuItemTagReload;
    case WEBKIT_CONTEXT_MENU_ACTION_CUT:
      return WebMenuItemTagCut;
    case WEBKIT_CONTEXT_MENU_ACTION_PASTE:
      return WebMenuItemTagPaste;
    default:
      return kOtherTags + webkit_context_menu_item_get_stock_action(item);
  }
}

std::vector<UINT> TagsOf(HMENU menu) {
  std::vector<UINT> tags;
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID;
    tags.push_back(GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) ? info.wID : 0);
  }
  return tags;
}

}  // namespace

HMENU MenuOf(WebKitContextMenu* menu) {
  HMENU result = CreatePopupMenu();
  for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
    const UINT tag = TagOf(WEBKIT_CONTEXT_MENU_ITEM(item->data));
    AppendMenuW(result, tag ? MF_STRING : MF_SEPARATOR, tag, u"");
  }
  return result;
}

void ApplyMenu(WebKitContextMenu* menu, HMENU trimmed) {
  const std::vector<UINT> kept = TagsOf(trimmed);
  std::vector<WebKitContextMenuItem*> removals;
  size_t next = 0;
  for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
    auto* menuItem = WEBKIT_CONTEXT_MENU_ITEM(item->data);
    if (next < kept.size() && kept[next] == TagOf(menuItem)) {
      ++next;
    } else {
      removals.push_back(menuItem);
    }
  }
  for (WebKitContextMenuItem* item : removals) webkit_context_menu_remove(menu, item);
}

}  // namespace webkitgtk

// Popup menus: each is a list of items (identifier, type, text, submenu).

#include "platform/common/handle_table.h"
#include "platform/win32.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct MenuItem {
  UINT id;
  UINT type;
  HMENU submenu;
  std::u16string text;
};

struct Menu {
  std::vector<MenuItem> items;
};

platform::HandleTable<HMENU, Menu>& Menus() {
  static platform::HandleTable<HMENU, Menu> menus(0x30000);
  return menus;
}

Menu* FindMenu(HMENU handle) {
  Menu* menu = Menus().Find(handle);
  if (!menu) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return menu;
}

// The index of an item by position or by command identifier, or -1 (with the error set).
long ItemIndex(const Menu& menu, UINT item, bool byPosition) {
  if (byPosition) {
    if (item < menu.items.size()) return static_cast<long>(item);
  } else {
    for (size_t i = 0; i < menu.items.size(); ++i) {
      if (menu.items[i].id == item && !menu.items[i].submenu) return static_cast<long>(i);
    }
  }
  SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
  return -1;
}

void CopyText(const MenuItem& item, MENUITEMINFOW& info) {
  if (info.dwTypeData && info.cch > 0) {
    const size_t count = std::min<size_t>(item.text.size(), info.cch - 1);
    std::copy_n(item.text.begin(), count, info.dwTypeData);
    info.dwTypeData[count] = u'\0';
  }
  info.cch = static_cast<UINT>(item.text.size());
}

}  // namespace

HMENU CreatePopupMenu() { return Menus().Add(std::make_unique<Menu>()); }

BOOL AppendMenuW(HMENU handle, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
  Menu* menu = FindMenu(handle);
  if (!menu) return FALSE;
  MenuItem item{static_cast<UINT>(idNewItem), MFT_STRING, nullptr, u""};
  if (flags & MF_SEPARATOR) {
    item.type = MFT_SEPARATOR;
  } else if (newItem) {
    item.text = newItem;
  }
  if (flags & MF_POPUP) {
    item.submenu = reinterpret_cast<HMENU>(idNewItem);
    if (!Menus().Find(item.submenu)) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
  }
  menu->items.push_back(item);
  return TRUE;
}

int GetMenuItemCount(HMENU handle) {
  const Menu* menu = FindMenu(handle);
  return menu ? static_cast<int>(menu->items.size()) : -1;
}

BOOL GetMenuItemInfoW(HMENU handle, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
  const Menu* menu = FindMenu(handle);
  if (!menu) return FALSE;
  if (!info || info->cbSize != sizeof(MENUITEMINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const long index = ItemIndex(*menu, item, byPosition != FALSE);
  if (index < 0) return FALSE;
  const MenuItem& found = menu->items[static_cast<size_t>(index)];
  if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = found.type;
  if (info->fMask & MIIM_STATE) info->fState = 0;
  if (info->fMask & MIIM_ID) info->wID = found.id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = found.submenu;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) CopyText(found, *info);
  return TRUE;
}

BOOL RemoveMenu(HMENU handle, UINT position, UINT flags) {
  Menu* menu = FindMenu(handle);
  if (!menu) return FALSE;
  const long index = ItemIndex(*menu, position, (flags & MF_BYPOSITION) != 0);
  if (index < 0) return FALSE;
  // The submenu of a removed item is not destroyed; it stays the caller's.
  menu->items.erase(menu->items.begin() + index);
  return TRUE;
}

BOOL DestroyMenu(HMENU handle) {
  std::unique_ptr<Menu> menu = Menus().Remove(handle);
  if (!menu) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  for (const MenuItem& item : menu->items) {
    if (item.submenu) DestroyMenu(item.submenu);
  }
  return TRUE;
}

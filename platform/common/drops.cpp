#include "platform/drops.h"

#include "platform/common/handle_table.h"
#include "platform/layer_records.h"

#include <algorithm>

namespace platform {
namespace {

struct DropList {
  std::vector<std::u16string> paths;
};

HandleTable<HDROP, DropList>& Drops() {
  static HandleTable<HDROP, DropList> drops(0x40000);
  return drops;
}

}  // namespace

HDROP CreateDrop(const std::vector<std::u16string>& paths) {
  return Drops().Add(std::make_unique<DropList>(DropList{paths}));
}

bool AcceptsFiles(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record && (record->exStyle & WS_EX_ACCEPTFILES);
}

}  // namespace platform

void DragAcceptFiles(HWND window, BOOL accept) {
  platform::WindowRecord* record = platform::FindWindowRecord(window);
  if (!record) return;
  if (accept) {
    record->exStyle |= WS_EX_ACCEPTFILES;
  } else {
    record->exStyle &= ~WS_EX_ACCEPTFILES;
  }
}

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR file, UINT count) {
  const platform::DropList* list = platform::Drops().Find(drop);
  if (!list) return 0;
  if (index == 0xFFFFFFFF) return static_cast<UINT>(list->paths.size());
  if (index >= list->paths.size()) return 0;
  const std::u16string& path = list->paths[index];
  if (!file) return static_cast<UINT>(path.size());
  if (count == 0) return 0;
  const size_t copied = std::min<size_t>(path.size(), count - 1);
  std::copy_n(path.begin(), copied, file);
  file[copied] = u'\0';
  return static_cast<UINT>(copied);
}

void DragFinish(HDROP drop) { platform::Drops().Remove(drop); }

// Global memory blocks and the clipboard. The clipboard takes ownership of the block it is
// given and frees it when it is emptied again; its Unicode text goes to the back end.

#include "platform/common/handle_table.h"
#include "platform/layer_records.h"

#include <cstring>
#include <new>
#include <string>

namespace {

struct MemoryBlock {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  int locks = 0;
};

platform::HandleTable<HGLOBAL, MemoryBlock>& Blocks() {
  static platform::HandleTable<HGLOBAL, MemoryBlock> blocks(0x50000);
  return blocks;
}

MemoryBlock* FindBlock(HGLOBAL handle) {
  MemoryBlock* block = Blocks().Find(handle);
  if (!block) SetLastError(ERROR_INVALID_HANDLE);
  return block;
}

struct Clipboard {
  bool open = false;
  HWND opener = nullptr;
  HGLOBAL data = nullptr;
};

Clipboard& TheClipboard() {
  static Clipboard clipboard;
  return clipboard;
}

bool RequireOpen() {
  if (TheClipboard().open) return true;
  SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
  return false;
}

// The UTF-16 text of a block, up to its first NUL or its end.
std::u16string TextOf(const MemoryBlock& block) {
  std::u16string text(block.size / sizeof(WCHAR), u'\0');
  std::memcpy(text.data(), block.bytes.get(), text.size() * sizeof(WCHAR));
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string::npos) text.resize(nul);
  return text;
}

}  // namespace

HGLOBAL platform::ClipboardData() { return TheClipboard().data; }

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  auto block = std::make_unique<MemoryBlock>();
  // A block always has at least one byte, so that it can be locked.
  const size_t size = bytes == 0 ? 1 : bytes;
  block->bytes.reset(new (std::nothrow) uint8_t[size]);
  if (!block->bytes) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (flags & GMEM_ZEROINIT) std::memset(block->bytes.get(), 0, size);
  block->size = bytes;
  return Blocks().Add(std::move(block));
}

LPVOID GlobalLock(HGLOBAL handle) {
  MemoryBlock* block = FindBlock(handle);
  if (!block) return nullptr;
  ++block->locks;
  return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  MemoryBlock* block = FindBlock(handle);
  if (!block) return FALSE;
  if (block->locks == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--block->locks > 0) return TRUE;
  SetLastError(ERROR_SUCCESS);
  return FALSE;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  if (!Blocks().Remove(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return handle;
  }
  return nullptr;
}

size_t GlobalSize(HGLOBAL handle) {
  const MemoryBlock* block = FindBlock(handle);
  return block ? block->size : 0;
}

BOOL OpenClipboard(HWND owner) {
  Clipboard& clipboard = TheClipboard();
  if (clipboard.open) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  clipboard.open = true;
  clipboard.opener = owner;
  return TRUE;
}

BOOL EmptyClipboard() {
  if (!RequireOpen()) return FALSE;
  Clipboard& clipboard = TheClipboard();
  if (clipboard.data) GlobalFree(clipboard.data);
  clipboard.data = nullptr;
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE memory) {
  if (!RequireOpen()) return nullptr;
  const MemoryBlock* block = FindBlock(memory);
  if (format != CF_UNICODETEXT || !block) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!platform::GetBackend().SetClipboardText(TextOf(*block))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  Clipboard& clipboard = TheClipboard();
  if (clipboard.data && clipboard.data != memory) GlobalFree(clipboard.data);
  clipboard.data = memory;
  return memory;
}

BOOL CloseClipboard() {
  if (!RequireOpen()) return FALSE;
  TheClipboard().open = false;
  TheClipboard().opener = nullptr;
  return TRUE;
}

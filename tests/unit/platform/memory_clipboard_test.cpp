// Global memory, the clipboard's ownership rules, engine strings and OLE counting: the
// shared part of the layer, built into the tests of each back end.

#include "platform/layer_records.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

class MemoryClipboardTest : public testing::Test {
 protected:
  HGLOBAL TextBlock(const std::u16string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * 2);
    std::memcpy(GlobalLock(block), text.data(), text.size() * 2);
    GlobalUnlock(block);
    return block;
  }
};

TEST_F(MemoryClipboardTest, GlobalMemoryIsZeroedAndLockCounted) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 16u);
  auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
  EXPECT_EQ(std::count(bytes, bytes + 16, 0), 16);
  EXPECT_EQ(GlobalLock(block), bytes);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalFree(block), block);
}

TEST_F(MemoryClipboardTest, ClipboardNeedsOpeningAndOwnsWhatItIsGiven) {
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  HGLOBAL first = TextBlock(u"http://h.test/\u00E9");
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, first), nullptr);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));  // already held
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, first), first);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(platform::ClipboardData(), first);

  // Emptying again frees the block the clipboard took.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(GlobalFree(first), first);
  EXPECT_FALSE(CloseClipboard());
}

TEST_F(MemoryClipboardTest, EngineStringsAndOleCounting) {
  BSTR text = SysAllocString(u"a\u00E9");
  EXPECT_EQ(SysStringLen(text), 2u);
  EXPECT_EQ(text[2], u'\0');
  SysFreeString(text);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR withNul = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(withNul), 3u);
  SysFreeString(withNul);

  const int before = platform::OleInitializationCount();
  EXPECT_EQ(OleInitialize(nullptr), before == 0 ? S_OK : S_FALSE);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  EXPECT_EQ(platform::OleInitializationCount(), before + 2);
  OleUninitialize();
  OleUninitialize();
  EXPECT_EQ(platform::OleInitializationCount(), before);
}

}  // namespace

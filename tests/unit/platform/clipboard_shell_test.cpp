#include "platform/headless/observation.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

class ClipboardShellTest : public testing::Test {
 protected:
  void SetUp() override { headless::ResetRecords(); }
  void TearDown() override {
    headless::SetMessageBoxAnswerer(nullptr);
    headless::SetShellSucceeds(true);
  }

  HGLOBAL TextBlock(const std::u16string& text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * 2);
    std::memcpy(GlobalLock(block), text.data(), text.size() * 2);
    GlobalUnlock(block);
    return block;
  }
};

TEST_F(ClipboardShellTest, GlobalMemoryIsZeroedAndLockCounted) {
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

TEST_F(ClipboardShellTest, ClipboardNeedsOpeningAndOwnsWhatItIsGiven) {
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  HGLOBAL first = TextBlock(u"http://h.test/\u00E9");
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, first), nullptr);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));  // already held
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, first), first);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(headless::ClipboardTexts(), std::vector<std::u16string>{u"http://h.test/\u00E9"});

  // Emptying again frees the block the clipboard took.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_EQ(GlobalFree(first), first);
  EXPECT_FALSE(CloseClipboard());
}

TEST_F(ClipboardShellTest, ShellVerbsAreRecordedAndAnswerAboveThirtyTwo) {
  const auto answer = [](HINSTANCE result) { return reinterpret_cast<uintptr_t>(result); };
  EXPECT_GT(answer(ShellExecuteW(nullptr, u"open", u"http://h.test/", nullptr, nullptr, SW_SHOW)),
            32u);
  headless::SetShellSucceeds(false);
  EXPECT_LE(answer(ShellExecuteW(nullptr, u"open", u"x", nullptr, nullptr, SW_SHOW)), 32u);
  ASSERT_EQ(headless::ShellOpens().size(), 2u);
  EXPECT_EQ(headless::ShellOpens()[0].verb, u"open");
  EXPECT_EQ(headless::ShellOpens()[0].target, u"http://h.test/");
}

TEST_F(ClipboardShellTest, MessageBoxesAnswerByStyleOrScript) {
  EXPECT_EQ(MessageBoxW(nullptr, u"", u"Trawler", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Trawler", MB_YESNO | MB_SETFOREGROUND), IDNO);
  headless::SetMessageBoxAnswerer([](UINT) { return IDYES; });
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Trawler", MB_YESNO), IDYES);
  ASSERT_EQ(headless::MessageBoxes().size(), 3u);
  EXPECT_EQ(headless::MessageBoxes()[0].caption, u"Trawler");
  EXPECT_EQ(headless::MessageBoxes()[0].text, u"");
  EXPECT_TRUE(ReleaseCapture());
}

TEST_F(ClipboardShellTest, EngineStringsAndOleCounting) {
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

  const int before = headless::OleInitializations();
  EXPECT_EQ(OleInitialize(nullptr), before == 0 ? S_OK : S_FALSE);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  EXPECT_EQ(headless::OleInitializations(), before + 2);
  OleUninitialize();
  OleUninitialize();
  EXPECT_EQ(headless::OleInitializations(), before);
}

TEST_F(ClipboardShellTest, DebugOutputIsKept) {
  OutputDebugStringW(u"RemoveMenu() failed");
  OutputDebugStringW(u"\n");
  EXPECT_EQ(headless::DebugOutput(), u"RemoveMenu() failed\n");
}

}  // namespace

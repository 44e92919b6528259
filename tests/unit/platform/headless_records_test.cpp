#include "platform/headless/observation.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// What the headless back end records of the shell, dialogs, the clipboard and the debug
// output, and how a test scripts the answers.
class HeadlessRecordsTest : public testing::Test {
 protected:
  void SetUp() override { headless::ResetRecords(); }
  void TearDown() override {
    headless::SetMessageBoxAnswerer(nullptr);
    headless::SetSaveFileAnswerer(nullptr);
    headless::SetShellSucceeds(true);
  }
};

TEST_F(HeadlessRecordsTest, ShellVerbsAreRecordedAndAnswerAboveThirtyTwo) {
  const auto answer = [](HINSTANCE result) { return reinterpret_cast<uintptr_t>(result); };
  EXPECT_GT(answer(ShellExecuteW(nullptr, u"open", u"http://h.test/", nullptr, nullptr, SW_SHOW)),
            32u);
  headless::SetShellSucceeds(false);
  EXPECT_LE(answer(ShellExecuteW(nullptr, u"open", u"x", nullptr, nullptr, SW_SHOW)), 32u);
  ASSERT_EQ(headless::ShellOpens().size(), 2u);
  EXPECT_EQ(headless::ShellOpens()[0].verb, u"open");
  EXPECT_EQ(headless::ShellOpens()[0].target, u"http://h.test/");
}

TEST_F(HeadlessRecordsTest, TheSaveDialogAnswersFromTheScriptWithinTheBuffer) {
  char16_t buffer[16] = u"list.har";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.lpstrFile = buffer;
  dialog.nMaxFile = 16;
  // No script: cancelled, the buffer as it was.
  EXPECT_FALSE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(std::u16string(buffer), u"list.har");
  std::u16string suggested;
  headless::SetSaveFileAnswerer([&](std::u16string& path) {
    suggested = path;
    path = u"/tmp/" + path;
    return true;
  });
  EXPECT_TRUE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(suggested, u"list.har");
  EXPECT_EQ(std::u16string(buffer), u"/tmp/list.har");
  // A path longer than the buffer is refused whole; so are bad parameters.
  EXPECT_FALSE(GetSaveFileNameW(&dialog));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::u16string(buffer), u"/tmp/list.har");
  dialog.lStructSize = 1;
  EXPECT_FALSE(GetSaveFileNameW(&dialog));
  EXPECT_FALSE(GetSaveFileNameW(nullptr));
}

TEST_F(HeadlessRecordsTest, MessageBoxesAnswerByStyleOrScript) {
  EXPECT_EQ(MessageBoxW(nullptr, u"", u"Trawler", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Trawler", MB_YESNO | MB_SETFOREGROUND), IDNO);
  headless::SetMessageBoxAnswerer([](UINT) { return IDYES; });
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Trawler", MB_YESNO), IDYES);
  ASSERT_EQ(headless::MessageBoxes().size(), 3u);
  EXPECT_EQ(headless::MessageBoxes()[0].caption, u"Trawler");
  EXPECT_EQ(headless::MessageBoxes()[0].text, u"");
  EXPECT_TRUE(ReleaseCapture());
}

TEST_F(HeadlessRecordsTest, DebugOutputIsKept) {
  OutputDebugStringW(u"RemoveMenu() failed");
  OutputDebugStringW(u"\n");
  EXPECT_EQ(headless::DebugOutput(), u"RemoveMenu() failed\n");
}

TEST_F(HeadlessRecordsTest, ClipboardTextIsRecorded) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8);
  std::memcpy(GlobalLock(block), u"\u00E9t\u00E9", 6);
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  EXPECT_EQ(headless::ClipboardTexts(), std::vector<std::u16string>{u"\u00E9t\u00E9"});
}

}  // namespace

#include "platform/gtk/peer_widget.h"
#include "tests/unit/platform/gtk/desktop_environment.h"
#include "tests/unit/platform/gtk/gtk_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

uintptr_t Open(const char16_t* target, const char16_t* verb = u"open") {
  return reinterpret_cast<uintptr_t>(
      ShellExecuteW(nullptr, verb, target, nullptr, nullptr, SW_SHOW));
}

void Copy(const std::u16string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * sizeof(WCHAR));
  std::memcpy(GlobalLock(block), text.data(), text.size() * sizeof(WCHAR));
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
  CloseClipboard();
}

class GtkClipboardShellTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::gtk::EnsureToolkit()) << "the GTK tests need a display (xvfb-run)";
  }
};

TEST_F(GtkClipboardShellTest, ClipboardTextReachesOtherClientsAsUtf8) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"http://h.test/a?b=c", "http://h.test/a?b=c"},
      {u"http://h.test/\u00E9t\u00E9/\U0001F3B5",
       "http://h.test/\xC3\xA9t\xC3\xA9/\xF0\x9F\x8E\xB5"},
      {std::u16string(u"up to\0here", 10), "up to"},
  };
  for (const auto& [text, utf8] : cases) {
    Copy(text);
    const gtk_test::ProgramResult read =
        gtk_test::RunProgram({"xclip", "-o", "-selection", "clipboard"});
    ASSERT_TRUE(read.finished);
    EXPECT_EQ(read.output, utf8);
  }
}

TEST_F(GtkClipboardShellTest, UrlsGoToTheDesktopsDefaultHandler) {
  unlink(gtk_test::HandlerOutput().c_str());
  EXPECT_GT(Open(u"http://h.test/a%20b?x=1"), 32u);
  EXPECT_TRUE(gtk_test::RunUntil(
      [] { return access(gtk_test::HandlerOutput().c_str(), F_OK) == 0; }, 10000));
  std::stringstream opened;
  opened << std::ifstream(gtk_test::HandlerOutput()).rdbuf();
  EXPECT_EQ(opened.str(), "http://h.test/a%20b?x=1");
}

TEST_F(GtkClipboardShellTest, FailuresAnswerTheWin32ValueWithADebugLine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Open(u"/no/such/file.mp4"), uintptr_t{ERROR_FILE_NOT_FOUND});
  EXPECT_EQ(Open(u"trawler-no-handler:thing"), 31u);
  EXPECT_EQ(Open(u"http://h.test/", u"print"), 31u);
  EXPECT_EQ(Open(u""), uintptr_t{ERROR_FILE_NOT_FOUND});
  const std::string debug = testing::internal::GetCapturedStderr();
  EXPECT_NE(debug.find("ShellExecuteW: no such file: /no/such/file.mp4\n"), std::string::npos);
  EXPECT_NE(debug.find("ShellExecuteW: cannot open trawler-no-handler:thing"), std::string::npos);
  EXPECT_NE(debug.find("\"print\""), std::string::npos);
}

}  // namespace

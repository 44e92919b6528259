#include "finder/text/url_names.h"

#include "finder/text/text_conversion.h"

#include <gtest/gtest.h>

namespace {

std::u16string Wide(const std::string& text) {
  std::u16string wide;
  Utf8ToUtf16(text, wide);
  return wide;
}

struct NormalizeCase {
  const char* input;
  const char* expected;
};

class NormalizeUrlTest : public testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeUrlTest, BothFormsAgree) {
  EXPECT_EQ(NormalizeUrlUtf8(GetParam().input), GetParam().expected);
  EXPECT_EQ(NormalizeUrl(Wide(GetParam().input)), Wide(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizeUrlTest,
    testing::Values(NormalizeCase{"www.host.test", "http://www.host.test"},
                    NormalizeCase{"http://www.host.test", "http://www.host.test"},
                    NormalizeCase{"https://www.host.test", "https://www.host.test"},
                    NormalizeCase{"ftp://host.test/a", "ftp://host.test/a"},
                    NormalizeCase{"host.test", "http://host.test"},
                    NormalizeCase{"localhost:8080", "http://localhost:8080"},
                    NormalizeCase{"WWW.HOST.TEST", "http://WWW.HOST.TEST"},
                    NormalizeCase{"HTTP://HOST.TEST", "HTTP://HOST.TEST"},
                    NormalizeCase{"www.host.test/?u=http://x.test",
                                  "http://www.host.test/?u=http://x.test"},
                    NormalizeCase{"host.test/?u=http://x.test", "host.test/?u=http://x.test"},
                    NormalizeCase{"//host.test", "http:////host.test"},
                    NormalizeCase{" www.host.test", "http:// www.host.test"},
                    NormalizeCase{"www", "http://www"}, NormalizeCase{"http://www.", "http://www."},
                    NormalizeCase{"[::1]:8080/", "http://[::1]:8080/"},
                    NormalizeCase{"caf\xC3\xA9.test", "http://caf\xC3\xA9.test"}));

TEST(NormalizeUrlTest, EmptyTextDiffersBetweenForms) {
  EXPECT_EQ(NormalizeUrl(u""), u"http://");
  EXPECT_EQ(NormalizeUrlUtf8(""), "");
  EXPECT_EQ(NormalizeUrlUtf8(nullptr), "");
}

TEST(NormalizeUrlTest, UnchangedInputComesBackByteForByte) {
  const char* text = "https://host.test/a%20b?c=d#e";
  EXPECT_EQ(NormalizeUrlUtf8(text), text);
}

struct FileNameCase {
  const char* url;
  bool found;
  const char* name;
};

class UrlFileNameTest : public testing::TestWithParam<FileNameCase> {};

TEST_P(UrlFileNameTest, BothFormsAgree) {
  std::string name = "stale";
  EXPECT_EQ(UrlFileNameUtf8(GetParam().url, name), GetParam().found);
  EXPECT_EQ(name, GetParam().name);

  std::u16string wideName = u"stale";
  EXPECT_EQ(UrlFileName(Wide(GetParam().url), wideName), GetParam().found);
  EXPECT_EQ(wideName, Wide(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlFileNameTest,
    testing::Values(FileNameCase{"http://host.test/files/setup.exe", true, "setup.exe"},
                    FileNameCase{"http://host.test/a/b.mp3?x=1#top", true, "b.mp3"},
                    FileNameCase{"http://host.test/page.php;sid=1", true, "page.php"},
                    FileNameCase{"http://host.test/a+b.mp3", true, "a"},
                    FileNameCase{"http://host.test/file%20name.mp3", true, "file%20name.mp3"},
                    FileNameCase{"http://host.test/dl?file=a.zip", true, "dl"},
                    FileNameCase{"http://host.test/r?u=http://x.test/f.zip", true, "f.zip"},
                    FileNameCase{"http://host.test?x=a/b", true, "b"},
                    FileNameCase{"http://host.test/a//b", true, "b"},
                    FileNameCase{"http://[::1]/x.bin", true, "x.bin"},
                    FileNameCase{"file:///C:/dir/a.txt", true, "a.txt"},
                    FileNameCase{"data:text/plain,hi", true, "plain"},
                    FileNameCase{"host.test/video.flv", true, "video.flv"},
                    FileNameCase{"HTTP://HOST.TEST/A.ZIP", true, "A.ZIP"},
                    FileNameCase{"http://host.test/dir/", true, ""},
                    FileNameCase{"http://host.test/a/?q", true, ""},
                    FileNameCase{"http://h/caf\xC3\xA9.mp3", true, "caf\xC3\xA9.mp3"},
                    FileNameCase{"http://host.test", false, ""},
                    FileNameCase{"http://host.test/", false, ""}, FileNameCase{"a/", false, ""},
                    FileNameCase{"about:blank", false, ""}, FileNameCase{"://", false, ""},
                    FileNameCase{"http://user:pw@host.test", false, ""},
                    FileNameCase{"", false, ""}));

}  // namespace

#include "finder/text/text_conversion.h"

#include <gtest/gtest.h>

namespace {

TEST(TextConversionTest, EmptyInputFailsAndKeepsOutput) {
  std::u16string wide = u"kept";
  EXPECT_FALSE(Utf8ToUtf16("", wide));
  EXPECT_EQ(wide, u"kept");

  std::string narrow = "kept";
  EXPECT_FALSE(Utf16ToUtf8(u"", narrow));
  EXPECT_EQ(narrow, "kept");
}

TEST(TextConversionTest, ConvertsNonAsciiCompletely) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"\xC3\xA9", u"\u00E9"},
      {"caf\xC3\xA9 \xE2\x82\xAC", u"caf\u00E9 \u20AC"},
      {"\xF0\x9F\x8E\xB5.mp3", u"\U0001F3B5.mp3"},
  };
  for (const Case& c : cases) {
    std::u16string wide = u"replaced";
    EXPECT_TRUE(Utf8ToUtf16(c.utf8, wide));
    EXPECT_EQ(wide, c.utf16);
    std::string narrow = "replaced";
    EXPECT_TRUE(Utf16ToUtf8(c.utf16, narrow));
    EXPECT_EQ(narrow, c.utf8);
  }
}

TEST(TextConversionTest, EmbeddedNulEndsTheText) {
  std::string narrow;
  EXPECT_TRUE(Utf16ToUtf8(std::u16string(u"ab\0cd", 5), narrow));
  EXPECT_EQ(narrow, "ab");

  std::u16string wide = u"old";
  EXPECT_TRUE(Utf8ToUtf16(std::string("\0x", 2), wide));
  EXPECT_EQ(wide, u"");
}

TEST(TextConversionTest, MalformedInputBecomesReplacementCharacters) {
  std::u16string wide;
  EXPECT_TRUE(
      Utf8ToUtf16("a\xFF"
                  "b",
                  wide));
  EXPECT_EQ(wide, u"a\uFFFDb");

  std::string narrow;
  EXPECT_TRUE(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)), narrow));
  EXPECT_EQ(narrow, "\xEF\xBF\xBD");
}

}  // namespace

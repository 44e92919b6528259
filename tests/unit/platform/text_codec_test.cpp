#include "platform/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Decode(const std::string& bytes) {
  std::u16string out(bytes.size() + 1, u'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    out.data(), static_cast<int>(out.size()));
  EXPECT_GT(n, 0);
  out.resize(n);
  return out;
}

std::string Encode(const std::u16string& units) {
  std::string out(units.size() * 3 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, units.data(), static_cast<int>(units.size()),
                                    out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  EXPECT_GT(n, 0);
  out.resize(n);
  return out;
}

TEST(TextCodecTest, IllFormedUtf8GivesOneReplacementPerMaximalSubpart) {
  struct Case {
    std::string bytes;
    std::u16string units;
  };
  const Case cases[] = {
      {"\x80", u"\uFFFD"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong lead bytes are never valid
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xE2\x82", u"\uFFFD"},                            // truncated at the end
      {"\xE2\x82x", u"\uFFFDx"},                          // truncated before ASCII
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF0\x9F\x8E", u"\uFFFD"},
      {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {std::string("\0", 1), std::u16string(1, u'\0')},
  };
  for (const Case& c : cases) EXPECT_EQ(Decode(c.bytes), c.units);
}

TEST(TextCodecTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::u16string highAlone{char16_t(0xD83C), u'x'};
  const std::u16string lowAlone{char16_t(0xDFB5)};
  const std::u16string reversed{char16_t(0xDFB5), char16_t(0xD83C)};
  EXPECT_EQ(Encode(highAlone), "\xEF\xBF\xBDx");
  EXPECT_EQ(Encode(lowAlone), "\xEF\xBF\xBD");
  EXPECT_EQ(Encode(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Encode(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
}

TEST(TextCodecTest, FollowsWin32ReturnConventions) {
  WCHAR wide[4] = {};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 0), 3);  // size query
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 4);    // NUL counted
  EXPECT_EQ(std::u16string(wide), u"abc");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, wide, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 1, "abc", 3, wide, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);

  char narrow[8] = {};
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", 1, nullptr, 0, nullptr, nullptr), 2);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", 1, narrow, 1, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace

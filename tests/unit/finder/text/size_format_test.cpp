#include "finder/text/size_format.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

struct SizeCase {
  uint64_t count;
  const char* text;
};

class SizeFormatTest : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeFormatTest, FormatsBothForms) {
  std::string utf8 = "old";
  FormatSizeUtf8(utf8, GetParam().count);
  EXPECT_EQ(utf8, GetParam().text);

  std::u16string wide = u"old";
  FormatSize(wide, GetParam().count);
  EXPECT_EQ(std::string(wide.begin(), wide.end()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizeFormatTest,
    testing::Values(SizeCase{0, "0B"}, SizeCase{1023, "1023B"}, SizeCase{1024, "1KB"},
                    SizeCase{1025, "1.00KB"}, SizeCase{1030, "1.01KB"}, SizeCase{1034, "1.01KB"},
                    SizeCase{1100, "1.07KB"}, SizeCase{1536, "1.50KB"}, SizeCase{2044, "2.00KB"},
                    SizeCase{999999, "976.56KB"}, SizeCase{1048575, "1024.00KB"},
                    SizeCase{1048576, "1MB"}, SizeCase{123456789, "117.74MB"},
                    SizeCase{5368709121, "5.00GB"}, SizeCase{1649267441664, "1.50TB"},
                    SizeCase{1125899906842624, "1PB"}, SizeCase{3ull << 50, "3PB"},
                    SizeCase{UINT64_MAX - 1, "16384.00PB"}, SizeCase{UINT64_MAX, "16384.00PB"}));

// GTK sets the process's locale from the environment; a decimal comma must not reach the
// size texts.
TEST(SizeFormatLocaleTest, TextsAreTheSameUnderACommaLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup makes this locale";
  std::string text;
  FormatSizeUtf8(text, 1536);
  EXPECT_EQ(text, "1.50KB");
  FormatSizeUtf8(text, 123456789);
  EXPECT_EQ(text, "117.74MB");
  std::setlocale(LC_ALL, "C");
}

}  // namespace

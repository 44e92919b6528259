#include "finder/records/request_record.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestRecordTest, HeaderLinesBecomeFieldsWhateverTheirLineEnds) {
  const HeaderFields fields = ParseHeaderLines(
      "Content-Type: text/html\r\nX-Empty:\r\nno colon\nLocation:  /next \n"
      ": no name\r\nSet-Cookie: a=b: c\r\n");
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(fields[0].name, "Content-Type");
  EXPECT_EQ(fields[0].value, "text/html");
  EXPECT_EQ(fields[1].value, "");
  EXPECT_EQ(fields[2].value, "/next");
  EXPECT_EQ(fields[3].value, "a=b: c");
  EXPECT_EQ(HeaderValue(fields, "location"), "/next");
  EXPECT_EQ(HeaderValue(fields, "Locatio"), "");
  EXPECT_TRUE(ParseHeaderLines("").empty());
}

TEST(RequestRecordTest, AHostileServersHeadersAreBounded) {
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "X-" + std::to_string(i) + ": v\r\n";
  EXPECT_EQ(ParseHeaderLines(lines).size(), 200u);
  const HeaderFields long_field = ParseHeaderLines("X-Long: " + std::string(100000, 'a'));
  ASSERT_EQ(long_field.size(), 1u);
  EXPECT_LT(long_field[0].value.size(), 8u * 1024);
}

}  // namespace

#include "finder/text/base64.h"

#include <gtest/gtest.h>

namespace {

TEST(Base64Test, EncodesTheStandardVectorsAndEveryByteComesBack) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(Base64Encoded(bytes), text);
    std::string back;
    EXPECT_TRUE(Base64Decoded(text, back));
    EXPECT_EQ(back, bytes);
  }
  std::string every;
  for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
  std::string back;
  ASSERT_TRUE(Base64Decoded(Base64Encoded(every), back));
  EXPECT_EQ(back, every);
  EXPECT_EQ(Base64Encoded("\xFB\xFF"), "+/8=");
}

}  // namespace

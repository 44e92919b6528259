#include "finder/records/data_url.h"

#include <gtest/gtest.h>

namespace {

TEST(DataUrlTest, BytesAndTypeOfADataAddress) {
  const struct {
    const char* url;
    bool ok;
    const char* mimeType;
    std::string bytes;
  } cases[] = {
      {"data:,Hello%2C%20World", true, "text/plain", "Hello, World"},
      {"data:text/html;charset=utf-8,%3Cb%3E", true, "text/html;charset=utf-8", "<b>"},
      {"data:image/png;base64,iVBORw0K", true, "image/png", "\x89PNG\r\n"},
      {"data:;base64,AA==", true, "text/plain", std::string(1, '\0')},
      {"data:text/plain;base64,@@@", false, "", ""},
      {"data:no comma", false, "", ""},
      {"http://h/a", false, "", ""},
  };
  for (const auto& c : cases) {
    std::string mimeType;
    std::string bytes;
    EXPECT_EQ(DecodeDataUrl(c.url, mimeType, bytes), c.ok) << c.url;
    if (!c.ok) continue;
    EXPECT_EQ(mimeType, c.mimeType) << c.url;
    EXPECT_EQ(bytes, c.bytes) << c.url;
  }
}

}  // namespace

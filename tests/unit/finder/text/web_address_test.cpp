#include "finder/text/web_address.h"

#include <gtest/gtest.h>

namespace {

TEST(WebAddressTest, OriginsAndRefererForms) {
  const struct {
    const char* url;
    const char* origin;
    const char* referrer;
  } cases[] = {
      {"https://User:pw@H.Test:443/p/q?x=1#frag", "https://h.test", "https://h.test/p/q?x=1"},
      {"http://h.test:8080", "http://h.test:8080", "http://h.test:8080/"},
      {"http://[::1]:81/a", "http://[::1]:81", "http://[::1]:81/a"},
      {"data:text/plain,hi", "", ""},
      {"blob:http://h.test/1234", "", ""},
      {"file:///home/me/a.html", "", ""},
      {"no scheme", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OriginOf(c.url), c.origin) << c.url;
    EXPECT_EQ(ReferrerForm(c.url), c.referrer) << c.url;
  }
  EXPECT_TRUE(IsHttpAddress("HTTPS://h.test/"));
  EXPECT_FALSE(IsHttpAddress("ftp://h.test/a"));
  EXPECT_FALSE(IsHttpAddress("http://"));
}

// Segments are folded by the address the engine sends, however the playlist wrote it.
TEST(WebAddressTest, TheSentFormEncodesWhatAUrlCannotHold) {
  const struct {
    const char* written;
    const char* sent;
  } cases[] = {
      {"http://H.test:80/seg 1.ts", "http://h.test/seg%201.ts"},
      {"http://h.test/seg%201.ts", "http://h.test/seg%201.ts"},
      {"http://h.test/caf\xC3\xA9.ts?q=a b", "http://h.test/caf%C3%A9.ts?q=a%20b"},
      {"http://h.test/{x}<y>.ts", "http://h.test/%7Bx%7D%3Cy%3E.ts"},
      {"http://h.test", "http://h.test/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SentForm(c.written), c.sent) << c.written;
    EXPECT_EQ(SentForm(c.sent), c.sent) << "twice: " << c.sent;
  }
}

}  // namespace

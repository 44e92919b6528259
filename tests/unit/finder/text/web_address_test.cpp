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

TEST(WebAddressTest, TheUriFormHoldsOnlyWhatAUriMay) {
  const struct {
    const char* address;
    const char* uri;
  } cases[] = {
      {"http://h.test/a%20b?x=1#top", "http://h.test/a%20b?x=1#top"},
      {"data:text/html,<b onmouseover=\"alert(1)\">'q'</b>",
       "data:text/html,%3Cb%20onmouseover=%22alert(1)%22%3E'q'%3C/b%3E"},
      {"data:text/plain,100% sure #1 #2", "data:text/plain,100%25%20sure%20#1%20%232"},
      {"http://h.test/caf\xC3\xA9|{x}^`\\", "http://h.test/caf%C3%A9%7C%7Bx%7D%5E%60%5C"},
      {"http://h.test/%4", "http://h.test/%254"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UriForm(c.address), c.uri) << c.address;
    EXPECT_EQ(UriForm(c.uri), c.uri) << "twice: " << c.uri;
  }
}

}  // namespace

#include "finder/records/curl_command.h"

#include <gtest/gtest.h>

namespace {

TEST(CurlCommandTest, EveryValueIsQuotedForAPosixShell) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "''"},
      {"plain", "'plain'"},
      {"it's", "'it'\\''s'"},
      {"$(rm -rf ~) `x` \"q\" \\ ; & | \n", "'$(rm -rf ~) `x` \"q\" \\ ; & | \n'"},
      {"''", "''\\'''\\'''"},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(ShellQuoted(text), quoted) << text;
}

TEST(CurlCommandTest, TheCommandMakesThePagesRequest) {
  const HeaderFields sent = {
      {"Accept", "*/*"},  {"user-agent", "UA/1"}, {"Referer", "http://h.test/"},
      {"Host", "h.test"}, {"Cookie", "stale=1"},  {"Range", "bytes=0-99"}};
  const std::string url = "curl --globoff 'http://h.test/a[1]{x}.mp4?q='\\''1'\\'''";
  const struct {
    const char* method;
    HeaderFields headers;
    const char* cookies;
    std::string command;
  } cases[] = {
      // Globbing is off, so [ ] { } stay in the URL; every field but curl's own goes along.
      {"GET", sent, "a=1; b=2",
       url + " -H 'Accept: */*' -H 'user-agent: UA/1' -H 'Referer: http://h.test/' "
             "-H 'Range: bytes=0-99' -H 'Cookie: a=1; b=2' --compressed"},
      // A HEAD is --head (curl waits for no body), and a page that took no coding says so.
      {"HEAD",
       {{"Accept-Encoding", "identity"}},
       "",
       url + " --head -H 'Accept-Encoding: identity'"},
      // A body that is not known is not replaced by another.
      {"POST",
       {{"Content-Type", "application/json"}},
       "",
       url + " -X 'POST' -H 'Content-Type: application/json' --compressed "
             "# the body of the page's request is not known, so none is sent"},
  };
  for (const auto& c : cases) {
    RequestRecord record;
    record.url = "http://h.test/a[1]{x}.mp4?q='1'";
    record.method = c.method;
    record.requestHeaders = c.headers;
    EXPECT_EQ(CurlCommand(record, c.cookies), c.command) << c.method;
  }
}

}  // namespace

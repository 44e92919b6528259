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

TEST(CurlCommandTest, TheCommandCarriesMethodRefererAgentAndCookiesOnly) {
  RequestRecord record;
  record.url = "http://h.test/a b.mp4?x='1'";
  record.requestHeaders = {
      {"Accept", "*/*"}, {"user-agent", "UA/1"}, {"Referer", "http://h.test/"}};
  EXPECT_EQ(CurlCommand(record, ""),
            "curl 'http://h.test/a b.mp4?x='\\''1'\\''' -H 'Referer: http://h.test/' "
            "-H 'User-Agent: UA/1'");
  record.method = "POST";
  record.requestHeaders.clear();
  EXPECT_EQ(CurlCommand(record, "a=1; b=2"),
            "curl 'http://h.test/a b.mp4?x='\\''1'\\''' -X 'POST' -H 'Cookie: a=1; b=2'");
}

}  // namespace

#include "capture/capture_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Until = CaptureOptions::Until;

struct Parsed {
  bool ok;
  CaptureOptions options;
  std::string error;
};

Parsed Parse(const std::vector<std::string>& arguments) {
  Parsed parsed{false, {}, {}};
  parsed.ok = ParseCaptureOptions(arguments, parsed.options, parsed.error);
  return parsed;
}

TEST(CaptureOptions, ReadsValuesGivenApartOrAfterAnEqualsSign) {
  const Parsed parsed = Parse({"--har", "out.har", "--jsonl=-", "--save", "files", "--ext",
                               "*.mp3; *.flv", "--until=idle", "--idle", "250", "--timeout", "2.5",
                               "--jobs", "4", "--har-sanitized", "http://a/", "b.example"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const CaptureOptions& options = parsed.options;
  EXPECT_EQ(options.urls, (std::vector<std::string>{"http://a/", "b.example"}));
  EXPECT_EQ(options.har, "out.har");
  EXPECT_EQ(options.jsonl, "-");
  EXPECT_EQ(options.saveFolder, "files");
  EXPECT_TRUE(options.filtered && options.byExtension);
  EXPECT_EQ(options.filter, "*.mp3; *.flv");
  EXPECT_EQ(options.until, Until::kIdle);
  EXPECT_EQ(options.idleMs, 250);
  EXPECT_DOUBLE_EQ(options.timeoutSeconds, 2.5);
  EXPECT_EQ(options.jobs, 4);
  EXPECT_TRUE(options.harSanitized);
}

TEST(CaptureOptions, DefaultsWriteRowsToStandardOutputUntilTheLoadSettles) {
  const Parsed parsed = Parse({"http://a/"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.jsonl, "-");
  EXPECT_EQ(parsed.options.until, Until::kLoad);
  EXPECT_EQ(parsed.options.idleMs, 500);
  EXPECT_FALSE(parsed.options.filtered);
  // An output asked for is the only one; a --time is an end of its own.
  const Parsed har = Parse({"--time", "3", "--har", "x.har", "http://a/"});
  ASSERT_TRUE(har.ok);
  EXPECT_EQ(har.options.jsonl, "");
  EXPECT_EQ(har.options.until, Until::kTime);
  EXPECT_DOUBLE_EQ(har.options.timeSeconds, 3);
  // After "--" everything is an address.
  const Parsed ended = Parse({"--", "--odd"});
  ASSERT_TRUE(ended.ok);
  EXPECT_EQ(ended.options.urls, std::vector<std::string>{"--odd"});
  EXPECT_TRUE(Parse({"--help"}).options.help);
}

TEST(CaptureOptions, BadUsageIsOneLineThatNamesTheFault) {
  const struct {
    std::vector<std::string> arguments;
    std::string said;
  } cases[] = {
      {{}, "no address"},
      {{"--har"}, "--har needs a value"},
      {{"--frobnicate", "http://a/"}, "unknown option --frobnicate"},
      {{"--mime", "video", "--ext", "*.ts", "http://a/"}, "not both"},
      {{"--mime=", "http://a/"}, "--mime needs a text"},
      {{"--until", "never", "http://a/"}, "--until takes load or idle"},
      {{"--idle", "soon", "http://a/"}, "--idle takes milliseconds, not 'soon'"},
      {{"--timeout", "0", "http://a/"}, "--timeout takes seconds"},
      {{"--timeout", "nan", "http://a/"}, "--timeout takes seconds"},
      {{"--jobs", "2.5", "http://a/"}, "--jobs takes a number of pages"},
      {{"--jobs", "65", "http://a/"}, "--jobs takes a number of pages"},
      {{"--include", "(", "http://a/"}, "does not compile"},
  };
  for (const auto& sample : cases) {
    const Parsed parsed = Parse(sample.arguments);
    EXPECT_FALSE(parsed.ok);
    EXPECT_NE(parsed.error.find(sample.said), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  }
}

TEST(CaptureOptions, IncludeAnyExcludeEvery) {
  const Parsed parsed = Parse({"--include", "\\.js($|\\?)", "--include", "^https://cdn\\.",
                               "--exclude", "analytics", "http://a/"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const struct {
    const char* url;
    bool wanted;
  } cases[] = {
      {"http://a/app.js", true},
      {"http://a/app.js?v=2", true},
      {"https://cdn.example/font.woff2", true},
      {"http://a/app.json", false},
      {"http://a/analytics.js", false},
      {"https://cdn.example/analytics", false},
  };
  for (const auto& sample : cases) {
    EXPECT_EQ(WantedUrl(parsed.options, sample.url), sample.wanted) << sample.url;
  }
  EXPECT_TRUE(WantedUrl(Parse({"http://a/"}).options, "anything"));
}

}  // namespace

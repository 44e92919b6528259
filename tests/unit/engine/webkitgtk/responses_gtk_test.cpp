#include "engine/webkitgtk/media_decoders_gtk.h"
#include "engine/webkitgtk/recent_responses.h"
#include "engine/webkitgtk/url_response_gtk.h"

#include <gtest/gtest.h>

namespace {

using webkitgtk::RecentResponses;

TEST(ResponsesGtkTest, AContentLengthIsAWholeNonNegativeNumberOrUnknown) {
  const std::pair<const char*, long long> cases[] = {
      {"1536", 1536}, {"0", 0},    {"1536abc", -1}, {"", -1},
      {"-5", -1},     {"1.5", -1}, {"abc", -1},     {"99999999999999999999", -1},
      {nullptr, -1},
  };
  for (const auto& [header, length] : cases) {
    EXPECT_EQ(webkitgtk::URLResponseGtk::LengthOf(header), length) << (header ? header : "null");
  }
}

TEST(ResponsesGtkTest, RecentResponsesKeepTheNewestWithinTheirBounds) {
  RecentResponses recent;
  recent.Remember("http://h.test/a", {u"image/png", 10});
  recent.Remember("http://h.test/a", {u"image/gif", 20});  // replaced, not added
  ASSERT_NE(recent.Recall("http://h.test/a"), nullptr);
  EXPECT_EQ(recent.Recall("http://h.test/a")->mimeType, u"image/gif");
  EXPECT_EQ(recent.Recall("http://h.test/b"), nullptr);

  // By count: the oldest goes first.
  for (size_t i = 0; i < RecentResponses::kMaxEntries; ++i) {
    recent.Remember("http://h.test/" + std::to_string(i), {u"text/plain", 1});
  }
  EXPECT_EQ(recent.Recall("http://h.test/a"), nullptr);
  EXPECT_NE(recent.Recall("http://h.test/0"), nullptr);

  // By the bytes of the URLs: one too long is never kept, long ones push the oldest out.
  const std::string huge(RecentResponses::kMaxUrlBytes + 1, 'x');
  recent.Remember(huge, {u"text/plain", 1});
  EXPECT_EQ(recent.Recall(huge), nullptr);
  const std::string third(RecentResponses::kMaxUrlBytes / 3, 'y');
  for (char last : {'1', '2', '3'}) recent.Remember(third + last, {u"video/mp4", 3});
  EXPECT_EQ(recent.Recall("http://h.test/0"), nullptr);
  EXPECT_NE(recent.Recall(third + '3'), nullptr);
}

// The setup installs GStreamer's FFmpeg plugin: the registry must show its decoders, or the
// hint would tell every user of a working machine to install what they have.
TEST(MediaDecodersGtkTest, TheSetUpMachinePlaysH264AndAac) {
  EXPECT_EQ(webkitgtk::MissingDecoders(), "");
}

}  // namespace

#include "finder/saves/stream_items.h"

#include <gtest/gtest.h>

namespace {

// A variant and its audio rendition, each encrypted with a key of its own: the second
// track's items name the job's second key, and every request carries what the page's would.
TEST(AddTrack, EachTrackKeepsItsOwnKeysAndIvsAmongTheJobs) {
  const std::string iv(16, '\x07');
  const PlaylistFacts video = ReadPlaylist(
      "#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:5\n#EXT-X-KEY:METHOD=AES-128,URI=\"v.key\"\n"
      "#EXTINF:1,\nv5.ts\n#EXTINF:1,\nv6.ts\n#EXT-X-ENDLIST\n",
      "http://h.test/v/index.m3u8");
  const PlaylistFacts sound = ReadPlaylist(
      "#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"a.key\",IV=0x07070707070707070707070707070707\n"
      "#EXTINF:1,\na0.ts\n#EXT-X-ENDLIST\n",
      "http://h.test/a/index.m3u8");
  FetchRequest led;
  led.document = "http://h.test/watch";
  led.referer = "http://h.test/watch";
  SaveJob job;
  AddTrack(job, 0, video.segments, video.keys, led);
  AddTrack(job, 1, sound.segments, sound.keys, led);
  ASSERT_EQ(job.items.size(), 3u);
  const struct {
    const char* url;
    size_t track;
    int key;
    std::string iv;
  } expected[] = {
      {"http://h.test/v/v5.ts", 0, 0, SequenceIv(5)},
      {"http://h.test/v/v6.ts", 0, 0, SequenceIv(6)},
      {"http://h.test/a/a0.ts", 1, 1, iv},
  };
  for (size_t i = 0; i < job.items.size(); ++i) {
    const SaveItem& item = job.items[i];
    EXPECT_EQ(item.request.url, expected[i].url);
    EXPECT_EQ(item.track, expected[i].track) << item.request.url;
    EXPECT_EQ(item.key, expected[i].key) << item.request.url;
    EXPECT_EQ(item.iv, expected[i].iv) << item.request.url;
    EXPECT_EQ(item.request.referer, "http://h.test/watch") << item.request.url;
  }
  ASSERT_EQ(job.keyRequests.size(), 2u);
  EXPECT_EQ(job.keyRequests[0].url, "http://h.test/v/v.key");
  EXPECT_EQ(job.keyRequests[1].url, "http://h.test/a/a.key");
}

// A manifest read again when its save starts gives the picture and the sound as two tracks,
// or says why it cannot be saved as one file.
TEST(AddDashTracks, ThePictureAndTheSoundOrWhyNot) {
  const std::string sets =
      "<AdaptationSet contentType=\"video\"><SegmentTemplate media=\"v$Number$.m4s\" "
      "initialization=\"v-init.mp4\" duration=\"2\"/><Representation id=\"v\" "
      "bandwidth=\"900\"/></AdaptationSet><AdaptationSet contentType=\"audio\">"
      "<SegmentList><Initialization sourceURL=\"a-init.mp4\"/><SegmentURL media=\"a1.m4s\"/>"
      "</SegmentList><Representation id=\"a\" bandwidth=\"64\"/></AdaptationSet>";
  const std::string period = "<Period>" + sets + "</Period>";
  const auto manifest = [](const std::string& body) {
    return "<MPD mediaPresentationDuration=\"PT4S\">" + body + "</MPD>";
  };
  const struct {
    std::string text;
    size_t picture;
    size_t sound;
    const char* refusal;
    size_t items;  // of the tracks together
  } cases[] = {
      {manifest(period), 0, 1, "", 5},
      {manifest(period), 0, SIZE_MAX, "", 3},
      {manifest(period), 5, 1, "The manifest changed since it was listed", 0},
      {manifest(period + period), 0, 1, "The manifest has 2 periods", 0},
      {manifest("<Period><AdaptationSet><ContentProtection schemeIdUri=\"urn:uuid:9a04f079-"
                "9840-4286-ab92-e65be0885f95\"/>" +
                sets.substr(sets.find("<Segment")) + "</Period>"),
       0, SIZE_MAX, "protected by DRM (PlayReady)", 0},
  };
  for (const auto& c : cases) {
    SaveJob job;
    job.picture = c.picture;
    job.sound = c.sound;
    FetchRequest led;
    led.url = "http://h.test/show.mpd";
    const std::string refusal = AddDashTracks(job, c.text, led);
    if (*c.refusal) {
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
      continue;
    }
    EXPECT_EQ(refusal, "");
    ASSERT_EQ(job.items.size(), c.items);
    EXPECT_EQ(job.items.front().request.url, "http://h.test/v-init.mp4");
    EXPECT_EQ(job.items.back().track, c.sound == SIZE_MAX ? 0u : 1u);
  }
}

}  // namespace

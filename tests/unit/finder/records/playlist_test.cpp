#include "finder/records/playlist.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Urls(const PlaylistFacts& facts) {
  std::vector<std::string> urls;
  for (const PlaylistSegment& segment : facts.segments) urls.push_back(segment.url);
  return urls;
}

TEST(ResolveUrl, FollowsTheReferenceRules) {
  const std::string base = "http://a/b/c/d;p?q";
  const struct {
    const char* reference;
    const char* resolved;
  } cases[] = {
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"https://cdn/x.ts", "https://cdn/x.ts"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolveUrl(base, c.reference), c.resolved) << c.reference;
  }
  EXPECT_EQ(ResolveUrl("http://host", "seg.ts"), "http://host/seg.ts");
  EXPECT_EQ(ResolveUrl("http://host/live/index.m3u8?token=1", "s1.ts"), "http://host/live/s1.ts");
}

TEST(MayBePlaylist, ByTypeNameOrSmallGenericBody) {
  EXPECT_TRUE(MayBePlaylist("application/vnd.apple.mpegurl", "http://h/a", -1));
  EXPECT_TRUE(MayBePlaylist("Application/X-MpegURL; charset=utf-8", "http://h/a", -1));
  EXPECT_TRUE(MayBePlaylist("application/dash+xml", "http://h/a", -1));
  EXPECT_TRUE(MayBePlaylist("text/plain", "http://h/v.M3U8?x=1", -1));
  EXPECT_TRUE(MayBePlaylist("application/octet-stream", "http://h/manifest.mpd", -1));
  EXPECT_TRUE(MayBePlaylist("text/plain", "http://h/list", 300));
  // A chunked answer announces no length: its body tells.
  EXPECT_TRUE(MayBePlaylist("text/plain", "http://h/list", -1));
  EXPECT_TRUE(MayBePlaylist("", "http://h/list", -1));
  EXPECT_FALSE(MayBePlaylist("text/plain", "http://h/empty", 0));
  EXPECT_FALSE(MayBePlaylist("application/octet-stream", "http://h/big", 5 << 20));
  EXPECT_FALSE(MayBePlaylist("video/mp2t", "http://h/seg.ts", 1000));
  EXPECT_FALSE(MayBePlaylist("text/html", "http://h/m3u8.html", 100));
}

TEST(ReadPlaylist, MasterListsVariantsWithTheirAttributes) {
  const PlaylistFacts facts = ReadPlaylist(
      "#EXTM3U\r\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=640x360,CODECS=\"avc1.4d401e,mp4a.40.2\"\r\n"
      "low/index.m3u8\r\n"
      "#EXT-X-STREAM-INF:RESOLUTION=1280x720,BANDWIDTH=2400000\r\n"
      "https://cdn.example/high.m3u8\r\n",
      "http://site/video/master.m3u8");
  EXPECT_EQ(facts.kind, PlaylistKind::kHlsMaster);
  ASSERT_EQ(facts.variants.size(), 2u);
  EXPECT_EQ(facts.variants[0].url, "http://site/video/low/index.m3u8");
  EXPECT_EQ(facts.variants[0].bandwidth, 800000);
  EXPECT_EQ(facts.variants[0].resolution, "640x360");
  EXPECT_EQ(facts.variants[0].codecs, "avc1.4d401e,mp4a.40.2");
  EXPECT_EQ(facts.variants[1].url, "https://cdn.example/high.m3u8");
  EXPECT_EQ(facts.variants[1].resolution, "1280x720");
  EXPECT_TRUE(facts.note.empty());
}

TEST(ReadPlaylist, MediaPlaylistCountsSegmentsDurationAndKeys) {
  const std::string clear =
      "\xEF\xBB\xBF#EXTM3U\n#EXT-X-TARGETDURATION:4\n#EXTINF:4.0,\ns0.ts\n#EXTINF:3.5,title\n"
      "/abs/s1.ts\n#EXT-X-KEY:METHOD=NONE\n#EXTINF:2,\ns2.ts\n#EXT-X-ENDLIST\n";
  PlaylistFacts facts = ReadPlaylist(clear, "http://h/v/index.m3u8");
  EXPECT_EQ(facts.kind, PlaylistKind::kHlsMedia);
  EXPECT_EQ(Urls(facts), (std::vector<std::string>{"http://h/v/s0.ts", "http://h/abs/s1.ts",
                                                   "http://h/v/s2.ts"}));
  EXPECT_EQ(facts.segments[0].first, -1);
  EXPECT_DOUBLE_EQ(facts.durationSeconds, 9.5);
  EXPECT_TRUE(facts.encryption.empty());
  EXPECT_FALSE(facts.live);

  facts = ReadPlaylist("#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"k,ey\"\n#EXTINF:2,\na.ts\n",
                       "http://h/i.m3u8");
  EXPECT_EQ(facts.encryption, "AES-128");
  EXPECT_TRUE(facts.live);

  facts = ReadPlaylist("#EXTM3U\n#EXT-X-MAP:URI=\"init.mp4\"\n#EXTINF:2,\na.m4s\n#EXT-X-ENDLIST",
                       "http://h/f.m3u8");
  EXPECT_TRUE(facts.fragmentedMp4);
  EXPECT_EQ(Urls(facts), (std::vector<std::string>{"http://h/init.mp4", "http://h/a.m4s"}));
}

TEST(ReadPlaylist, ByteRangesNameThePartsOfOneFile) {
  const PlaylistFacts facts = ReadPlaylist(
      "#EXTM3U\n#EXT-X-MAP:URI=\"all.mp4\",BYTERANGE=\"720@0\"\n"
      "#EXTINF:2,\n#EXT-X-BYTERANGE:40000@720\nall.mp4\n"
      // Without its first byte, a part follows the last one of the same file.
      "#EXTINF:2,\n#EXT-X-BYTERANGE:40000\nall.mp4\n"
      "#EXTINF:2,\n#EXT-X-BYTERANGE:100\nother.ts\n"
      "#EXTINF:2,\nwhole.ts\n#EXT-X-ENDLIST\n",
      "http://h/v/index.m3u8");
  const struct {
    const char* url;
    int64_t first;
    int64_t length;
  } parts[] = {
      {"http://h/v/all.mp4", 0, 720},       {"http://h/v/all.mp4", 720, 40000},
      {"http://h/v/all.mp4", 40720, 40000}, {"http://h/v/other.ts", 0, 100},
      {"http://h/v/whole.ts", -1, -1},
  };
  ASSERT_EQ(facts.segments.size(), std::size(parts));
  for (size_t i = 0; i < std::size(parts); ++i) {
    EXPECT_EQ(facts.segments[i].url, parts[i].url) << i;
    EXPECT_EQ(facts.segments[i].first, parts[i].first) << i;
    EXPECT_EQ(facts.segments[i].length, parts[i].length) << i;
  }
  EXPECT_TRUE(facts.note.empty()) << facts.note;
  EXPECT_NE(ReadPlaylist("#EXTM3U\n#EXTINF:2,\n#EXT-X-BYTERANGE:lots\na.ts\n", "http://h/p").note,
            "");
}

TEST(ReadPlaylist, KeysApplyToTheSegmentsAfterThemWithTheirIvOrSequence) {
  const PlaylistFacts facts = ReadPlaylist(
      "#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:41\n#EXTINF:2,\nclear.ts\n"
      "#EXT-X-KEY:METHOD=AES-128,URI=\"k1\"\n#EXTINF:2,\na.ts\n"
      "#EXT-X-KEY:METHOD=AES-128,URI=\"k1\"\n#EXTINF:2,\nb.ts\n"
      "#EXT-X-KEY:METHOD=AES-128,URI=\"../k2\",IV=0x000102030405060708090a0b0c0d0e0f\n"
      "#EXT-X-MAP:URI=\"init.mp4\"\n#EXTINF:2,\nc.ts\n"
      "#EXT-X-KEY:METHOD=NONE\n#EXTINF:2,\nd.ts\n"
      "#EXT-X-KEY:METHOD=AES-128,URI=\"k3\",IV=0x12\n#EXT-X-ENDLIST\n",
      "http://h/s/p.m3u8");
  ASSERT_EQ(facts.keys.size(), 3u);
  EXPECT_EQ(facts.keys[0].url, "http://h/s/k1");
  EXPECT_EQ(facts.keys[0].iv, "");
  EXPECT_EQ(facts.keys[1].url, "http://h/k2");
  EXPECT_EQ(facts.keys[1].iv, std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b"
                                          "\x0c\x0d\x0e\x0f",
                                          16));
  EXPECT_EQ(facts.encryption, "AES-128");
  EXPECT_EQ(facts.note, "A key's IV is not one");
  const struct {
    const char* name;
    int key;
    int64_t sequence;
  } expected[] = {{"clear.ts", -1, 41}, {"a.ts", 0, 42}, {"b.ts", 0, 43},
                  {"init.mp4", 1, -1},  {"c.ts", 1, 44}, {"d.ts", -1, 45}};
  ASSERT_EQ(facts.segments.size(), std::size(expected));
  for (size_t i = 0; i < facts.segments.size(); ++i) {
    const PlaylistSegment& segment = facts.segments[i];
    EXPECT_EQ(segment.url, std::string("http://h/s/") + expected[i].name);
    EXPECT_EQ(segment.key, expected[i].key) << expected[i].name;
    EXPECT_EQ(segment.sequence, expected[i].sequence) << expected[i].name;
  }
}

TEST(ReadPlaylist, MalformedTextGivesANote) {
  const struct {
    const char* text;
    const char* kind;
  } cases[] = {
      {"<html>not a playlist</html>", "unknown"},
      {"", "unknown"},
      {"#EXTM3U\n#EXTINF:banana,\na.ts\n", "hls-media"},
      {"#EXTM3U\n#EXTINF:-3,\na.ts\n", "hls-media"},
      {"#EXTM3U\n#EXT-X-VERSION:3\n", "hls-media"},
      {"#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=\"unterminated\n", "hls-master"},
      {"<?xml version=\"1.0\"?><MPD type=\"static\"></MPD>", "dash"},
      {"<MPD", "dash"},
  };
  for (const auto& c : cases) {
    const PlaylistFacts facts = ReadPlaylist(c.text, "http://h/p");
    EXPECT_STREQ(PlaylistKindName(facts.kind), c.kind) << c.text;
    EXPECT_FALSE(facts.note.empty() && facts.kind != PlaylistKind::kHlsMaster) << c.text;
    EXPECT_LE(facts.durationSeconds, 0.0) << c.text;
  }
}

TEST(ReadPlaylist, DashListsRepresentations) {
  const PlaylistFacts facts = ReadPlaylist(
      "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
      "mediaPresentationDuration=\"PT1M2.5S\"><Period><AdaptationSet>"
      "<Representation id=\"v1\" width=\"1920\" height=\"1080\" bandwidth=\"5000000\" "
      "codecs=\"avc1.640028\"/><Representation id=\"a\" bandwidth=\"128000\" codecs=\"mp4a.40.2\"/>"
      "</AdaptationSet></Period></MPD>",
      "http://h/m.mpd");
  EXPECT_EQ(facts.kind, PlaylistKind::kDash);
  EXPECT_DOUBLE_EQ(facts.durationSeconds, 62.5);
  ASSERT_EQ(facts.variants.size(), 2u);
  EXPECT_EQ(facts.variants[0].resolution, "1920x1080");
  EXPECT_EQ(facts.variants[1].resolution, "");
  EXPECT_EQ(facts.variants[1].codecs, "mp4a.40.2");
}

TEST(ReadPlaylist, KeepsAtMostTheSegmentCap) {
  std::string text = "#EXTM3U\n";
  for (size_t i = 0; i < kMostSegments + 5; ++i) text += "#EXTINF:1,\ns.ts\n";
  const PlaylistFacts facts = ReadPlaylist(text, "http://h/p.m3u8");
  EXPECT_EQ(facts.segments.size(), kMostSegments);
  // The count says how many it listed, so that a save can refuse rather than cut it.
  EXPECT_EQ(facts.segmentCount, kMostSegments + 5);
  EXPECT_FALSE(facts.note.empty());
}

PlaylistVariant Variant(const char* resolution, int64_t bandwidth, const char* type = "") {
  return {"", resolution, bandwidth, "", "", type};
}

TEST(BestVariant, MostPixelsThenHighestBandwidthThenTheFirst) {
  const auto best = [](std::vector<PlaylistVariant> variants) {
    PlaylistFacts facts;
    facts.variants = std::move(variants);
    return BestVariant(facts);
  };
  EXPECT_EQ(best({}), 0u);
  EXPECT_EQ(best({Variant("640x360", 900), Variant("1920x1080", 500), Variant("1280x720", 3000)}),
            1u);
  EXPECT_EQ(best({Variant("1280x720", 900), Variant("1280x720", 2000)}), 1u);
  // No resolution counts as none; equals keep the first.
  EXPECT_EQ(best({Variant("", 9000), Variant("320x180", 100)}), 1u);
  EXPECT_EQ(best({Variant("bogus", 5), Variant("", 5)}), 0u);
  // A manifest's sound is never the picture, however high its bandwidth.
  EXPECT_EQ(best({Variant("", 900000, "audio"), Variant("", 100, "video")}), 1u);
  EXPECT_EQ(best({Variant("", 100, "text"), Variant("", 50, "")}), 1u);
}

TEST(StreamSound, TheVariantsGroupsDefaultRenditionAndTheLoudestRepresentation) {
  const PlaylistFacts master = ReadPlaylist(
      "#EXTM3U\n"
      "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"a\",NAME=\"en\",URI=\"en.m3u8\"\n"
      "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"a\",NAME=\"de\",DEFAULT=YES,URI=\"de.m3u8\"\n"
      "#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID=\"a\",NAME=\"s\",DEFAULT=YES,URI=\"s.m3u8\"\n"
      "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"in\",NAME=\"main\",DEFAULT=YES\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=1,AUDIO=\"a\"\nv0.m3u8\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=1,AUDIO=\"in\"\nv1.m3u8\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=1\nv2.m3u8\n",
      "http://h/m/master.m3u8");
  ASSERT_EQ(master.renditions.size(), 4u);
  const PlaylistRendition* sound = AudioRendition(master, 0);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->url, "http://h/m/de.m3u8");
  EXPECT_EQ(sound->language, "");
  // A group whose default has no URI is in the variant's own stream; no group, no sound.
  EXPECT_EQ(AudioRendition(master, 1), nullptr);
  EXPECT_EQ(AudioRendition(master, 2), nullptr);
  EXPECT_EQ(AudioRendition(master, 9), nullptr);

  PlaylistFacts dash;
  dash.variants = {Variant("1280x720", 5000, "video"), Variant("", 64, "audio"),
                   Variant("", 128, "audio"), Variant("", 128, "audio")};
  EXPECT_EQ(BestAudio(dash), 2u);
  dash.variants.resize(1);
  EXPECT_EQ(BestAudio(dash), 1u);
}

}  // namespace

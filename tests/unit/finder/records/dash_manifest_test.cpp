#include "finder/records/dash_manifest.h"
#include "finder/records/xml_elements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The addresses (with "@first+length" for a part) of each representation's segments.
std::vector<std::vector<std::string>> Segments(const DashManifest& manifest) {
  std::vector<std::vector<std::string>> all;
  for (const DashRepresentation& representation : manifest.representations) {
    all.emplace_back();
    for (const PlaylistSegment& segment : representation.segments) {
      all.back().push_back(segment.url + (segment.first < 0
                                              ? ""
                                              : "@" + std::to_string(segment.first) + "+" +
                                                    std::to_string(segment.length)));
    }
  }
  return all;
}

DashManifest Read(const std::string& body, const std::string& head = "type=\"static\"") {
  return ReadDashManifest("<?xml version=\"1.0\"?>\n<MPD " + head + ">" + body + "</MPD>",
                          "http://h/show/m.mpd");
}

TEST(FillTemplate, FillsEachIdentifierWithItsWidth) {
  const struct {
    const char* pattern;
    const char* filled;
  } cases[] = {
      {"$RepresentationID$/seg-$Number$.m4s", "v1/seg-7.m4s"},
      {"seg-$Number%05d$.m4s", "seg-00007.m4s"},
      {"t$Time$-b$Bandwidth$", "t90000-b800000"},
      {"$Time%08d$", "00090000"},
      {"cost $$5 $Unknown$ $Number", "cost $5 $Unknown$ $Number"},
      // Only digits make a width: a format of its own stays as written.
      {"$Number%s$ $Number%-5d$ $RepresentationID%05d$",
       "$Number%s$ $Number%-5d$ $RepresentationID%05d$"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FillTemplate(c.pattern, "v1", 7, 90000, 800000), c.filled) << c.pattern;
  }
}

TEST(IsoSeconds, ReadsDurationsAndRefusesTheRest) {
  const struct {
    const char* text;
    double seconds;
  } cases[] = {
      {"PT1M2.5S", 62.5}, {"PT1H", 3600}, {"P1DT2H", 93600}, {"PT0S", 0}, {"P1M", 0},
      {"PT-3S", 0},       {"1H", 0},      {"PT5", 0},        {"", 0},     {"PT1H30M", 5400}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(IsoSeconds(c.text), c.seconds) << c.text;
}

TEST(ReadDashManifest, TemplateWithNumbersCoversThePeriodFromItsBaseUrls) {
  const DashManifest manifest = Read(
      "<BaseURL>media/</BaseURL><Period><AdaptationSet contentType=\"video\" "
      "mimeType=\"video/mp4\"><BaseURL>video/</BaseURL><SegmentTemplate timescale=\"1000\" "
      "duration=\"4000\" startNumber=\"3\" initialization=\"$RepresentationID$/init.mp4\" "
      "media=\"$RepresentationID$/$Number%03d$.m4s\"/>"
      "<Representation id=\"hd\" bandwidth=\"3000000\" width=\"1920\" height=\"1080\"/>"
      "</AdaptationSet><AdaptationSet mimeType=\"audio/mp4\" lang=\"en\">"
      "<Representation id=\"aac\" bandwidth=\"128000\"><SegmentTemplate duration=\"5\" "
      "media=\"https://cdn.test/a/$Number$.m4s\"/></Representation></AdaptationSet></Period>",
      "type=\"static\" mediaPresentationDuration=\"PT10S\"");
  EXPECT_EQ(manifest.note, "");
  EXPECT_DOUBLE_EQ(manifest.durationSeconds, 10);
  ASSERT_EQ(manifest.representations.size(), 2u);
  const DashRepresentation& video = manifest.representations[0];
  EXPECT_EQ((std::vector<std::string>{video.id, video.contentType, video.mimeType}),
            (std::vector<std::string>{"hd", "video", "video/mp4"}));
  EXPECT_EQ(video.width * video.height, 1920 * 1080);
  EXPECT_EQ(manifest.representations[1].contentType, "audio");
  EXPECT_EQ(manifest.representations[1].language, "en");
  // Ten seconds of four-second segments is three, the last one short.
  EXPECT_EQ(Segments(manifest),
            (std::vector<std::vector<std::string>>{
                {"http://h/show/media/video/hd/init.mp4", "http://h/show/media/video/hd/003.m4s",
                 "http://h/show/media/video/hd/004.m4s", "http://h/show/media/video/hd/005.m4s"},
                {"https://cdn.test/a/1.m4s", "https://cdn.test/a/2.m4s"}}));
}

TEST(ReadDashManifest, TimelineGivesTimesAndRepeatsUpToTheNextEntryOrTheEnd) {
  const DashManifest manifest = Read(
      "<Period duration=\"PT10S\"><AdaptationSet><SegmentTemplate timescale=\"10\" "
      "media=\"$RepresentationID$-$Time$-$Number$.m4s\"><SegmentTimeline>"
      "<S t=\"0\" d=\"20\" r=\"1\"/><S d=\"10\" r=\"-1\"/><S t=\"60\" d=\"20\" r=\"-1\"/>"
      "</SegmentTimeline></SegmentTemplate><Representation id=\"v\"/></AdaptationSet></Period>");
  EXPECT_EQ(manifest.note, "");
  EXPECT_EQ(Segments(manifest), (std::vector<std::vector<std::string>>{
                                    {"http://h/show/v-0-1.m4s", "http://h/show/v-20-2.m4s",
                                     "http://h/show/v-40-3.m4s", "http://h/show/v-50-4.m4s",
                                     "http://h/show/v-60-5.m4s", "http://h/show/v-80-6.m4s"}}));
}

TEST(ReadDashManifest, SegmentListAndSegmentBaseNameTheirFilesAndParts) {
  const DashManifest manifest = Read(
      "<Period><AdaptationSet><Representation id=\"list\"><SegmentList>"
      "<Initialization sourceURL=\"init.mp4\" range=\"0-799\"/>"
      "<SegmentURL media=\"one.m4s\"/><SegmentURL mediaRange=\"800-1799\"/>"
      "</SegmentList></Representation>"
      "<Representation id=\"base\"><BaseURL>whole.mp4</BaseURL>"
      "<SegmentBase indexRange=\"800-999\"><Initialization range=\"0-799\"/></SegmentBase>"
      "</Representation><Representation id=\"bare\"/></AdaptationSet></Period>");
  EXPECT_EQ(
      Segments(manifest),
      (std::vector<std::vector<std::string>>{
          {"http://h/show/init.mp4@0+800", "http://h/show/one.m4s", "http://h/show/m.mpd@800+1000"},
          {"http://h/show/whole.mp4"},
          {}}));
}

TEST(ReadDashManifest, RepresentationsOverrideWhatTheirSetGives) {
  const DashManifest manifest = Read(
      "<Period duration=\"PT4S\"><AdaptationSet width=\"640\" height=\"360\" codecs=\"avc1\">"
      "<SegmentTemplate duration=\"2\" media=\"set-$Number$.ts\"/>"
      "<Representation id=\"a\"/>"
      "<Representation id=\"b\" width=\"1280\" height=\"720\" codecs=\"hvc1\">"
      "<SegmentTemplate media=\"own-$Number$.ts\" startNumber=\"0\"/></Representation>"
      "</AdaptationSet></Period>");
  ASSERT_EQ(manifest.representations.size(), 2u);
  EXPECT_EQ(manifest.representations[0].width, 640);
  EXPECT_EQ(manifest.representations[1].width, 1280);
  EXPECT_EQ(manifest.representations[1].codecs, "hvc1");
  EXPECT_EQ(Segments(manifest), (std::vector<std::vector<std::string>>{
                                    {"http://h/show/set-1.ts", "http://h/show/set-2.ts"},
                                    {"http://h/show/own-0.ts", "http://h/show/own-1.ts"}}));
}

TEST(ReadDashManifest, WhatCannotBeListedIsSaid) {
  const struct {
    std::string text;
    std::string note;
  } cases[] = {
      {"<MPD><Period>", "cannot be read"},
      {"<html></html>", "no MPD"},
      {"<MPD/>", "no representations"},
      {"<MPD type=\"dynamic\"><Period><AdaptationSet><Representation id=\"v\">"
       "<SegmentTemplate duration=\"2\" media=\"$Number$.ts\"/></Representation>"
       "</AdaptationSet></Period></MPD>",
       "live manifest without a timeline"},
      {"<MPD><Period><AdaptationSet><Representation id=\"v\"><SegmentTemplate><SegmentTimeline>"
       "<S t=\"0\"/></SegmentTimeline></SegmentTemplate></Representation></AdaptationSet>"
       "</Period></MPD>",
       "names no media"},
      {std::string(100, '<'), "cannot be read"},
      {std::string(1000, ' ') + std::string(kDeepestXml + 1, 'x'), "cannot be read"},
  };
  for (const auto& c : cases) {
    const DashManifest manifest = ReadDashManifest(c.text, "http://h/m.mpd");
    EXPECT_NE(manifest.note.find(c.note), std::string::npos) << c.text << ": " << manifest.note;
  }
  // A timeline that repeats without end is bounded.
  const DashManifest endless = Read(
      "<Period duration=\"PT1000000S\"><AdaptationSet><Representation id=\"v\">"
      "<SegmentTemplate media=\"$Number$\"><SegmentTimeline><S d=\"1\" r=\"-1\"/>"
      "</SegmentTimeline></SegmentTemplate></Representation></AdaptationSet></Period>");
  EXPECT_EQ(endless.representations[0].segments.size(), kMostSegments);
  EXPECT_NE(endless.note.find("more segments"), std::string::npos);
}

TEST(ReadXml, DecodesTextAndAttributesAndRefusesWhatIsNotWellFormed) {
  XmlElement root;
  std::string error;
  ASSERT_TRUE(
      ReadXml("<?xml version=\"1.0\"?><!DOCTYPE x><!-- c --><a k='1 &amp; &#x41;&#66;'>"
              "x &lt;<![CDATA[<raw>&amp;]]><!-- skip --><b/>y</a>",
              root, error))
      << error;
  EXPECT_EQ(root.name, "a");
  EXPECT_EQ(root.AttributeOr("k", ""), "1 & AB");
  EXPECT_EQ(root.text, "x <<raw>&amp;y");
  ASSERT_NE(root.Child("b"), nullptr);
  EXPECT_EQ(root.Attribute("missing"), nullptr);
  const char* faults[] = {"<a><b></a>", "<a k=v></a>", "<a", "", "text", "<a><!-- </a>"};
  for (const char* fault : faults) EXPECT_FALSE(ReadXml(fault, root, error)) << fault;
  std::string deep;
  for (size_t i = 0; i <= kDeepestXml; ++i) deep += "<d>";
  EXPECT_FALSE(ReadXml(deep, root, error));
  EXPECT_NE(error.find("too deep"), std::string::npos);
}

}  // namespace

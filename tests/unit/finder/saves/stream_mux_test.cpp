#include "finder/saves/stream_mux.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(ContainerOfName, TheExtensionNamesTheContainer) {
  const struct {
    const char* name;
    const char* container;
  } cases[] = {
      {"a.mp4", "mp4"},     {"a.M4V", "mp4"},     {"a.mov", "mp4"},  {"a b.mkv", "matroska"},
      {"x.webm", "webm"},   {"x.ts", "mpegts"},   {"x.mp4.txt", ""}, {"stream", ""},
      {"dir.mp4/name", ""}, {".mkv", "matroska"},
  };
  for (const auto& c : cases) EXPECT_EQ(ContainerOfName(c.name), c.container) << c.name;
}

TEST(MuxedExtension, TheCodecsChooseTheContainer) {
  const struct {
    std::vector<std::string> codecs;
    const char* extension;
  } cases[] = {
      {{"avc1.64001f,mp4a.40.2"}, ".mp4"},
      {{"hvc1.1.6.L93.B0", "mp4a.40.2"}, ".mp4"},
      {{"avc1.4d401e", ""}, ".mp4"},  // a codec not named is none
      {{}, ".mp4"},
      {{"vp09.00.10.08", "opus"}, ".webm"},
      {{"av01.0.04M.08", "vorbis"}, ".webm"},
      {{"vp09.00.10.08", "mp4a.40.2"}, ".mkv"},  // WebM holds no AAC
      {{"avc1.64001f", "flac"}, ".mkv"},
      {{" avc1.64001f , mp4a.40.2 "}, ".mp4"},
  };
  for (const auto& c : cases) {
    std::string named;
    for (const std::string& codec : c.codecs) named += codec + ";";
    EXPECT_EQ(MuxedExtension(c.codecs), c.extension) << named;
  }
}

// Tracks made by the ffmpeg command, as a stream's segments join into them.
class StreamMuxTest : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
    m_folder = testing::TempDir() + "trawler-mux-" + std::to_string(getpid());
    std::filesystem::create_directories(m_folder);
  }
  void TearDown() override { std::filesystem::remove_all(m_folder); }

  // A two-second track from ffmpeg's test sources: its path.
  std::string Made(const std::string& name, const std::string& arguments) {
    const std::string path = m_folder + "/" + name;
    const std::string command =
        "ffmpeg -loglevel error -y " + arguments + " -t 2 '" + path + "' </dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }
  std::string Video(const std::string& name = "video.ts") {
    return Made(name, "-f lavfi -i testsrc=size=160x120:rate=25 -c:v libx264 -g 25");
  }
  std::string Sound(const std::string& name = "sound.ts") {
    return Made(name, "-f lavfi -i sine=frequency=440:sample_rate=48000 -c:a aac");
  }
  // What ffprobe says of the file's streams: "video 160x120;audio;" and its duration.
  std::string Probed(const std::string& path) {
    const std::string command =
        "ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char line[256];
    // A transport stream's programs list its streams again after an empty line.
    while (pipe && std::fgets(line, sizeof line, pipe) && line[0] != '\n') {
      std::string text = line;
      while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
      for (char& c : text) c = c == ',' ? ' ' : c;
      out += text + ";";
    }
    if (pipe) pclose(pipe);
    return out;
  }
  // Muxes the tracks into the path; the error, or empty.
  std::string Mux(const std::vector<std::string>& tracks, const std::string& path,
                  const std::string& container) {
    PartialFile file;
    EXPECT_TRUE(file.Open(path));
    std::string error = MuxTracks(tracks, file, container, m_packets);
    if (error.empty()) error = ReadBackError(file.Path(), m_packets);
    if (error.empty()) {
      EXPECT_TRUE(file.MoveTo(path));
    }
    return error;
  }

  std::string m_folder;
  std::vector<int64_t> m_packets;  // of each stream, as the last mux wrote them
};

TEST_F(StreamMuxTest, VideoAndSoundOfTheirOwnGoIntoOneFileWithoutReencoding) {
  const std::string video = Video();
  const std::string sound = Sound();
  for (const char* container : {"mp4", "matroska", "mpegts"}) {
    const std::string path = m_folder + "/out." + container;
    EXPECT_EQ(Mux({video, sound}, path, container), "") << container;
    EXPECT_EQ(Probed(path), "video 160 120;audio;") << container;
  }
  // One track alone is remuxed too (an MPEG-TS stream the user saves as MP4).
  const std::string single = m_folder + "/single.mp4";
  EXPECT_EQ(Mux({video}, single, "mp4"), "");
  EXPECT_EQ(Probed(single), "video 160 120;");
}

TEST_F(StreamMuxTest, AMuxOnItsThreadEndsWithTheFileWholeOrStopsWhenAsked) {
  const std::string video = Video();
  const std::string sound = Sound();
  const std::string path = m_folder + "/threaded.mp4";
  PartialFile file;
  ASSERT_TRUE(file.Open(path));
  MuxWork mux;
  mux.Start({video, sound}, file, "mp4");
  EXPECT_TRUE(mux.Running());
  // Result waits for the thread to end.
  EXPECT_EQ(mux.Result(), "");
  EXPECT_TRUE(mux.Done());
  ASSERT_TRUE(file.MoveTo(path));
  EXPECT_EQ(Probed(path), "video 160 120;audio;");
  // Asked to stop at once, it stops between packets (or has ended): nothing is left open.
  PartialFile stopped;
  ASSERT_TRUE(stopped.Open(m_folder + "/stopped.mp4"));
  mux.Start({video, sound}, stopped, "mp4");
  mux.Stop();
  EXPECT_FALSE(mux.Running());
  const std::string result = mux.Result();
  EXPECT_TRUE(result.empty() || result == "Stopped") << result;
}

TEST_F(StreamMuxTest, WhatCannotBeMuxedOrReadBackSaysWhy) {
  const std::string video = Video();
  const std::string garbage = m_folder + "/garbage.ts";
  std::ofstream(garbage) << "this is no media at all";
  const struct {
    std::vector<std::string> tracks;
    const char* container;
    const char* error;
  } cases[] = {
      {{video, garbage}, "mp4", "Track 2 cannot be read"},
      {{m_folder + "/absent.ts"}, "mp4", "Track 1 cannot be read"},
      // WebM takes no H.264.
      {{video}, "webm", "cannot go into webm"},
      {{video}, "no-such-container", "FFmpeg cannot write no-such-container"},
  };
  for (const auto& c : cases) {
    const std::string path = m_folder + "/failed.out";
    EXPECT_NE(Mux(c.tracks, path, c.container).find(c.error), std::string::npos) << c.error;
    EXPECT_FALSE(std::filesystem::exists(path)) << c.error;
  }

  // A muxed file cut short (which Matroska's reader takes as its end), or with another
  // number of streams than went in, is not whole.
  const std::string whole = m_folder + "/whole.mkv";
  ASSERT_EQ(Mux({video, Sound()}, whole, "matroska"), "");
  const std::vector<int64_t> packets = m_packets;
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0], 50);
  EXPECT_EQ(ReadBackError(whole, {packets[0], packets[1], 1}),
            "The saved file holds 2 streams, not 3");
  std::filesystem::resize_file(whole, std::filesystem::file_size(whole) / 3);
  EXPECT_NE(ReadBackError(whole, packets).find("Stream 1 of the saved file gives back"),
            std::string::npos);
  EXPECT_NE(ReadBackError(garbage, {1}).find("cannot be read"), std::string::npos);
}

}  // namespace

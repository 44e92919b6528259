#include "finder/saves/file_saving.h"

#include "finder/result_reporting.h"
#include "tests/unit/finder/finder_test_support.h"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

sim::Response Served(const char16_t* url, const char16_t* type, const std::string& body) {
  sim::Response response(url, type, static_cast<long long>(body.size()));
  response.body = body;
  return response;
}

// A page whose script player loaded a master playlist, a variant (as plain text) and its
// three segments, an encrypted playlist, a DASH manifest and a video.
class MediaSavingTest : public FinderTest {
 protected:
  void SetUp() override {
    StartApplication(std::string(kUiScript) +
                     "function updateResult(r) {}"
                     "function saveProgress(p) { sim.log('progress ' + p); }");
    m_folder = testing::TempDir() + "trawler-media-" + std::to_string(getpid());
    std::filesystem::create_directories(m_folder);
    std::vector<sim::Response> responses = {
        {u"http://site.test/", u"text/html", 10},
        Served(u"http://site.test/master.m3u8", u"application/vnd.apple.mpegurl",
               "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1000,RESOLUTION=4x4\nv/index.m3u8\n"),
        Served(u"http://site.test/v/s0.ts", u"video/mp2t", "AAAA"),
        Served(
            u"http://site.test/v/index.m3u8", u"text/plain",
            "#EXTM3U\n#EXTINF:2,\ns0.ts\n#EXTINF:2,\ns1.ts\n#EXTINF:2,\ns2.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/v/s1.ts", u"video/mp2t", "BBBB"),
        Served(u"http://site.test/v/s2.ts", u"video/mp2t", "CC"),
        Served(u"http://site.test/locked.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\n#EXTINF:2,\nx.ts\n"),
        Served(u"http://site.test/stream.mpd", u"application/dash+xml",
               "<MPD><Representation width=\"2\" height=\"2\" bandwidth=\"9\"/></MPD>"),
        Served(u"http://site.test/movie.mp4", u"video/mp4", std::string(100'000, 'm')),
        Served(u"http://site.test/v/live.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:2,\ns1.ts\n#EXTINF:2,\ns2.ts\n"),
    };
    sim::SetPage(u"http://site.test/", sim::Page{responses, {""}});
    ASSERT_EQ(Call(u"start", R"({"url": "http://site.test/", "filterEnabled": false,
                                 "useFileExtFilter": false, "mimeFilter": ""})"),
              1);
    Run(50);
    m_logs.clear();
  }
  void TearDown() override {
    headless::SetSaveFileAnswerer(nullptr);
    std::filesystem::remove_all(m_folder);
    FinderTest::TearDown();
  }

  const RequestRecord& Row(const std::string& url) {
    for (const RequestRecord& record : State().m_records) {
      if (record.url == url) return record;
    }
    ADD_FAILURE() << "no row for " << url;
    return State().m_records.front();
  }
  std::string Id(const std::string& url) { return std::to_string(Row(url).id); }

  // Runs a save command whose dialog answers the path; the last progress line.
  std::string Save(const std::u16string& method, const std::string& params, const std::string& path,
                   uint64_t run = 50) {
    headless::SetSaveFileAnswerer([path](std::u16string& chosen) {
      chosen = std::u16string(path.begin(), path.end());
      return true;
    });
    EXPECT_EQ(Call(method, params), 1) << params;
    Run(run);
    return m_logs.empty() ? std::string() : m_logs.back();
  }
};

TEST_F(MediaSavingTest, PlaylistsAreReadAndTheirSegmentsFolded) {
  const RequestRecord& variant = Row("http://site.test/v/index.m3u8");
  ASSERT_TRUE(variant.playlist);
  EXPECT_EQ(variant.playlist->segments.size(), 3u);
  // Segments listed before and after their playlist was read.
  for (const char* segment : {"http://site.test/v/s0.ts", "http://site.test/v/s1.ts"}) {
    EXPECT_EQ(Row(segment).parent, variant.id) << segment;
  }
  ASSERT_TRUE(Row("http://site.test/master.m3u8").playlist);
  EXPECT_EQ(Row("http://site.test/master.m3u8").playlist->variants[0].url, variant.url);
  EXPECT_EQ(Row("http://site.test/master.m3u8").parent, 0u);
  EXPECT_FALSE(Row("http://site.test/movie.mp4").playlist);
  // A cleared list forgets which playlist a segment belongs to.
  ClearResults(State());
  EXPECT_TRUE(State().m_segmentOwners.empty());
}

TEST_F(MediaSavingTest, AMasterPlaylistsVariantIsJoinedIntoOneFile) {
  const std::string path = m_folder + "/stream.ts";
  const std::string last =
      Save(u"savePlaylist",
           R"({"id": )" + Id("http://site.test/master.m3u8") + R"(, "variant": 0})", path);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_NE(last.find(R"("items":3)"), std::string::npos) << last;
  EXPECT_EQ(Contents(path), "AAAABBBBCC");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder), {}), 1);
  // A live playlist is read again when its save starts.
  const RequestRecord& live = Row("http://site.test/v/live.m3u8");
  ASSERT_TRUE(live.playlist && live.playlist->live);
  const std::string joined = m_folder + "/live.ts";
  const std::string again =
      Save(u"savePlaylist", R"({"id": )" + std::to_string(live.id) + "}", joined);
  EXPECT_NE(again.find(R"("state":"done")"), std::string::npos) << again;
  EXPECT_EQ(Contents(joined), "BBBBCC");
}

TEST_F(MediaSavingTest, WhatCannotBeJoinedIsRefusedWithAMessage) {
  const struct {
    std::string params;
    const char* message;
  } cases[] = {
      {R"({"id": )" + Id("http://site.test/locked.m3u8") + "}", "encrypted (SAMPLE-AES)"},
      {R"({"id": )" + Id("http://site.test/stream.mpd") + "}", "DASH"},
      {R"({"id": )" + Id("http://site.test/master.m3u8") + R"(, "variant": 5})", "no such variant"},
  };
  for (const auto& c : cases) {
    Json::Value params;
    ReadJsonText(c.params, params);
    Json::Value answer;
    EXPECT_EQ(HandleFinderCall(u"com.quillmoor.trawler", u"savePlaylist", params, nullptr, answer),
              0);
    EXPECT_NE(answer["message"].asString().find(c.message), std::string::npos) << c.params;
  }
  for (const char* params : {"null", "{}", R"({"id": 9999})", R"({"id": "1"})"}) {
    EXPECT_EQ(Call(u"savePlaylist", params), 0) << params;
    EXPECT_EQ(Call(u"saveFile", params), 0) << params;
  }
  EXPECT_EQ(Call(u"savePlaylist", R"({"id": )" + Id("http://site.test/movie.mp4") + "}"), 0);
  EXPECT_EQ(Call(u"saveShown", R"({"ids": []})"), 0);
  EXPECT_EQ(Call(u"cancelSave", R"({"job": 77})"), 0);
}

TEST_F(MediaSavingTest, ShownFilesGoIntoAFolderAndNeverReplaceAFile) {
  std::ofstream(m_folder + "/movie.mp4") << "mine";
  const std::string movie = Id("http://site.test/movie.mp4");
  const std::string last = Save(
      u"saveShown",
      R"({"ids": [)" + movie + "," + Id("http://site.test/v/s2.ts") + "," + movie + "]}", m_folder);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_EQ(Contents(m_folder + "/movie.mp4"), "mine");
  EXPECT_EQ(Contents(m_folder + "/movie (2).mp4"), std::string(100'000, 'm'));
  EXPECT_EQ(Contents(m_folder + "/s2.ts"), "CC");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder), {}), 3);
}

TEST_F(MediaSavingTest, ACancelledOrFailedSaveLeavesNothing) {
  const std::string path = m_folder + "/movie.mp4";
  Save(u"saveFile", R"({"id": )" + Id("http://site.test/movie.mp4") + "}", path, 2);
  ASSERT_EQ(UiWindow().m_saves.jobs.size(), 1u);
  EXPECT_NE(m_logs.back().find(R"("state":"running")"), std::string::npos) << m_logs.back();
  EXPECT_EQ(Call(u"cancelSave",
                 R"({"job": )" + std::to_string(UiWindow().m_saves.jobs.begin()->first) + "}"),
            1);
  Run(50);
  EXPECT_NE(m_logs.back().find(R"("state":"cancelled")"), std::string::npos) << m_logs.back();
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
  // A file the session cannot fetch fails with the reason.
  State().m_records.back().url = "http://site.test/gone.bin";
  const std::string last = Save(u"saveFile", R"({"id": )" + Id("http://site.test/gone.bin") + "}",
                                m_folder + "/gone.bin");
  EXPECT_NE(last.find(R"("state":"failed")"), std::string::npos) << last;
  EXPECT_NE(last.find("Not found"), std::string::npos) << last;
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
  EXPECT_TRUE(UiWindow().m_saves.jobs.empty());
  // A file that cannot be written whole (here: larger than the process may write) fails
  // with the reason and leaves nothing.
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{50'000, limit.rlim_max};
  const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string tooLarge = Save(
      u"saveFile", R"({"id": )" + Id("http://site.test/movie.mp4") + "}", m_folder + "/movie.mp4");
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, ignored);
  EXPECT_NE(tooLarge.find("File too large"), std::string::npos) << tooLarge;
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
}

}  // namespace

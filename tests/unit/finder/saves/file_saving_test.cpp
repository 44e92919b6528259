#include "finder/saves/file_saving.h"

#include "finder/playlist_rows.h"
#include "finder/result_reporting.h"
#include "finder/saves/segment_cipher.h"
#include "tests/unit/finder/finder_test_support.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <openssl/evp.h>

#include <algorithm>
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

// AES-128-CBC with PKCS#7 padding, as an HLS packager encrypts a segment.
std::string Encrypted(const std::string& key, const std::string& iv, const std::string& plain) {
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  std::string out(plain.size() + 16, '\0');
  int written = 0;
  int last = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(plain.data());
  auto* into = reinterpret_cast<unsigned char*>(out.data());
  EVP_EncryptInit_ex(context, EVP_aes_128_cbc(), nullptr,
                     reinterpret_cast<const unsigned char*>(key.data()),
                     reinterpret_cast<const unsigned char*>(iv.data()));
  EVP_EncryptUpdate(context, into, &written, bytes, static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(context, into + written, &last);
  EVP_CIPHER_CTX_free(context);
  out.resize(static_cast<size_t>(written + last));
  return out;
}

const std::string kKey = "0123456789abcdef";
const std::string kIv =
    std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f", 16);

// 0123456789 repeated: a part of it shows where it was cut from.
std::string Digits(size_t size) {
  std::string digits;
  for (size_t i = 0; i < size; ++i) digits += static_cast<char>('0' + i % 10);
  return digits;
}

// A page whose script player loaded a master playlist, a variant (as plain text) and its
// three segments, a playlist of byte ranges of one file, an encrypted playlist, a DASH
// manifest and files of every kind a save meets.
class FileSavingTest : public FinderTest {
 protected:
  void SetUp() override {
    StartApplication(std::string(kUiScript) +
                     "function updateResult(r) {}"
                     "function saveProgress(p) { sim.log('progress ' + p); }");
    m_folder = testing::TempDir() + "trawler-saves-" + std::to_string(getpid());
    std::filesystem::create_directories(m_folder);
    std::vector<sim::Response> responses = {
        {u"http://site.test/watch?token=s3cr3t", u"text/html", 10},
        Served(u"http://site.test/master.m3u8", u"application/vnd.apple.mpegurl",
               "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1000,RESOLUTION=4x4 /../.bash_profile\n"
               "v/index.m3u8\n"),
        Served(u"http://site.test/v/s0.ts", u"video/mp2t", "AAAA"),
        Served(u"http://site.test/v/index.m3u8", u"text/plain",
               "#EXTM3U\n#EXTINF:2,\ns0.ts\n#EXTINF:2,\ns1.ts\n#EXTINF:2,\n"
               "http://cdn.test/s2.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/v/s1.ts", u"video/mp2t", "BBBB"),
        Served(u"http://cdn.test/s2.ts", u"video/mp2t", "CC"),
        Served(u"http://site.test/ranged.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-MAP:URI=\"all.mp4\",BYTERANGE=\"8@0\"\n"
               "#EXTINF:2,\n#EXT-X-BYTERANGE:20@8\nall.mp4\n"
               "#EXTINF:2,\n#EXT-X-BYTERANGE:30\nall.mp4\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/all.mp4", u"video/mp4", Digits(100)),
        Served(u"http://site.test/whole.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:2,\n#EXT-X-BYTERANGE:5@3\nnoranges.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/noranges.ts", u"video/mp2t", Digits(40)),
        Served(u"http://site.test/locked.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\n#EXTINF:2,\nx.ts\n"),
        Served(u"http://site.test/self.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:2,\nself.m3u8\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/stream.mpd", u"application/dash+xml",
               "<MPD><Period><AdaptationSet><ContentProtection schemeIdUri="
               "\"urn:uuid:EDEF8BA9-79D6-4ACE-A3C8-27DCD51D21ED\"/><Representation width=\"2\" "
               "height=\"2\" bandwidth=\"9\"/></AdaptationSet></Period></MPD>"),
        Served(u"http://site.test/movie.mp4", u"video/mp4", std::string(100'000, 'm')),
        Served(u"http://site.test/v/live.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:2,\ns1.ts\n#EXTINF:2,\ns0.ts\n"),
        Served(u"http://site.test/.bash_profile", u"text/plain", "rm -rf ~"),
        Served(u"http://site.test/get?f=1", u"application/octet-stream", "evil"),
        Served(u"http://site.test/cut.bin", u"application/octet-stream", std::string(1000, 'c')),
        Served(u"data:text/plain;base64,aGk=", u"text/plain", ""),
        Served(u"blob:http://site.test/42", u"video/mp4", ""),
        Served(u"http://site.test/api", u"application/json", "{\"answer\":\"GET\"}"),
        Served(u"ftp://elsewhere.test/file", u"text/plain", "ftp"),
        // A playlist that names a segment as a URL may not hold it, and the engine's row of it.
        Served(u"http://site.test/spaced.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:2,\na b.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/a%20b.ts", u"video/mp2t", "S"),
        // An AES-128 stream: the IV of the media sequence number, then one of its own, then
        // clear; and one whose key is no key.
        Served(u"http://site.test/aes.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:7\n#EXT-X-KEY:METHOD=AES-128,URI=\"aes.key\"\n"
               "#EXTINF:2,\ne0.ts\n#EXT-X-KEY:METHOD=AES-128,URI=\"aes.key\","
               "IV=0x000102030405060708090A0B0C0D0E0F\n#EXTINF:2,\ne1.ts\n"
               "#EXT-X-KEY:METHOD=NONE\n#EXTINF:2,\nclear.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/aes.key", u"application/octet-stream", kKey),
        Served(u"http://site.test/e0.ts", u"video/mp2t",
               Encrypted(kKey, SequenceIv(7), "the first segment, longer than a block")),
        Served(u"http://site.test/e1.ts", u"video/mp2t", Encrypted(kKey, kIv, "second")),
        Served(u"http://site.test/clear.ts", u"video/mp2t", "CLEAR"),
        Served(u"http://site.test/badkey.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"short.key\"\n#EXTINF:2,\ne0.ts\n"
               "#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/short.key", u"application/octet-stream", "short"),
        Served(u"http://site.test/wrongkey.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"wrong.key\"\n#EXTINF:2,\ne1.ts\n"
               "#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/wrong.key", u"application/octet-stream", "fedcba9876543210"),
        Served(u"http://site.test/drm.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXT-X-KEY:METHOD=AES-128,URI=\"skd://k\",KEYFORMAT=\"com.apple."
               "streamingkeydelivery\"\n#EXTINF:2,\ne0.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/flaky.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:1,\nf0.ts\n#EXTINF:1,\nf1.ts\n#EXTINF:1,\nf2.ts\n"
               "#EXTINF:1,\nf3.ts\n#EXTINF:1,\nf4.ts\n#EXTINF:1,\nf5.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/gone.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:1,\nf0.ts\n#EXTINF:1,\ngone.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/missing.m3u8", u"application/x-mpegurl",
               "#EXTM3U\n#EXTINF:1,\nf0.ts\n#EXTINF:1,\nnone.ts\n#EXT-X-ENDLIST\n"),
        Served(u"http://site.test/f0.ts", u"video/mp2t", "zero-"),
        Served(u"http://site.test/f1.ts", u"video/mp2t", "one-"),
        Served(u"http://site.test/f2.ts", u"video/mp2t", "two-"),
        Served(u"http://site.test/f3.ts", u"video/mp2t", "three-"),
        Served(u"http://site.test/f4.ts", u"video/mp2t", "four-"),
        Served(u"http://site.test/f5.ts", u"video/mp2t", "five"),
        Served(u"http://site.test/gone.ts", u"video/mp2t", "never whole"),
        Served(u"http://site.test/none.ts", u"text/html", "not here"),
        Served(u"http://site.test/plain.mpd", u"application/dash+xml",
               "<MPD mediaPresentationDuration=\"PT4S\"><Period><AdaptationSet "
               "contentType=\"video\"><SegmentTemplate initialization=\"init-$RepresentationID$"
               ".mp4\" media=\"$RepresentationID$-$Number%03d$.m4s\" duration=\"2\"/>"
               "<Representation id=\"v\" bandwidth=\"9\" width=\"4\" height=\"2\" "
               "codecs=\"avc1.4d401e\"/></AdaptationSet></Period></MPD>"),
        Served(u"http://site.test/init-v.mp4", u"video/mp4", "INIT|"),
        Served(u"http://site.test/v-001.m4s", u"video/iso.segment", "first|"),
        Served(u"http://site.test/v-002.m4s", u"video/iso.segment", "second"),
    };
    for (sim::Response& response : responses) {
      if (response.url == u"http://site.test/f1.ts") response.downloadsDropped = 1;
      if (response.url == u"http://site.test/f3.ts") response.downloadsDropped = 2;
      if (response.url == u"http://site.test/gone.ts") response.downloadsDropped = 4;
      if (response.url == u"http://site.test/none.ts") response.status = 404;
    }
    responses[0].requestHeaders = u"User-Agent: Sim/1\r\n";
    responses[1].requestHeaders = u"Referer: http://site.test/watch?token=s3cr3t\r\n";
    responses[16].headers = u"Content-Disposition: attachment; filename=\"../../evil.desktop\"\r\n";
    responses[17].endsAfter = 600;
    responses[20].method = u"POST";
    responses[21].redirects = {{u"http://site.test/to-ftp", 302}};
    responses[9].ignoresRange = true;
    sim::SetPage(u"http://site.test/watch?token=s3cr3t", sim::Page{responses, {""}});
    ASSERT_EQ(Call(u"start", R"({"url": "http://site.test/watch?token=s3cr3t",
                                 "filterEnabled": false, "useFileExtFilter": false,
                                 "mimeFilter": ""})"),
              1);
    Run(80);
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
                   uint64_t run = 80) {
    headless::SetSaveFileAnswerer([path](std::u16string& chosen) {
      chosen = std::u16string(path.begin(), path.end());
      return true;
    });
    EXPECT_EQ(Call(method, params), 1) << params;
    Run(run);
    return m_logs.empty() ? std::string() : m_logs.back();
  }
  // The refusal a save command answers with at once.
  std::string Refusal(const std::u16string& method, const std::string& params) {
    Json::Value request;
    ReadJsonText(params, request);
    Json::Value answer;
    EXPECT_EQ(HandleFinderCall(u"com.quillmoor.trawler", method, request, nullptr, answer), 0);
    return answer["message"].asString();
  }
  // The header fields the save's download of the address sent.
  std::u16string Sent(const std::u16string& url) {
    for (const sim::DownloadRecord& download : sim::GetRecords().downloads) {
      if (download.url == url) return download.headers;
    }
    return u"not fetched";
  }
  size_t FilesIn(const std::string& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
  }
};

TEST_F(FileSavingTest, PlaylistsAreReadAndTheirSegmentsFolded) {
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
  // A segment is found by the address the engine sends.
  EXPECT_EQ(Row("http://site.test/a%20b.ts").parent, Row("http://site.test/spaced.m3u8").id);
  // A cleared list forgets which playlist a segment belongs to.
  ClearResults(State());
  EXPECT_TRUE(State().m_segmentOwners.empty());
}

TEST_F(FileSavingTest, AStreamIsJoinedWithWhatTheBrowserWouldSend) {
  const std::string path = m_folder + "/stream.ts";
  std::string suggested;
  headless::SetSaveFileAnswerer([&](std::u16string& chosen) {
    suggested.assign(chosen.begin(), chosen.end());
    chosen = std::u16string(path.begin(), path.end());
    return true;
  });
  EXPECT_EQ(Call(u"savePlaylist", R"({"id": )" + Id("http://site.test/master.m3u8") + "}"), 1);
  Run(80);
  // A hostile resolution cannot make the name a path.
  EXPECT_EQ(suggested, "master 4x4 _.._.bash_profile.ts");
  EXPECT_NE(m_logs.back().find(R"("state":"done")"), std::string::npos) << m_logs.back();
  EXPECT_NE(m_logs.back().find(R"("items":3)"), std::string::npos) << m_logs.back();
  EXPECT_EQ(Contents(path), "AAAABBBBCC");
  EXPECT_EQ(FilesIn(m_folder), 1u);
  // The page's policy (the default) gives its whole address to its own origin, and only the
  // origin to another; the page's query never leaves it for another host.
  EXPECT_EQ(Sent(u"http://site.test/v/s0.ts"), u"Referer: http://site.test/watch?token=s3cr3t\r\n");
  EXPECT_EQ(Sent(u"http://cdn.test/s2.ts"), u"Referer: http://site.test/\r\n");
  // A live playlist is read again when its save starts.
  const RequestRecord& live = Row("http://site.test/v/live.m3u8");
  ASSERT_TRUE(live.playlist && live.playlist->live);
  const std::string joined = m_folder + "/live.ts";
  const std::string again =
      Save(u"savePlaylist", R"({"id": )" + std::to_string(live.id) + "}", joined);
  EXPECT_NE(again.find(R"("state":"done")"), std::string::npos) << again;
  EXPECT_NE(again.find("a live stream: saved as far as its playlist listed"), std::string::npos);
  EXPECT_EQ(Contents(joined), "BBBBAAAA");
}

TEST_F(FileSavingTest, AnAes128StreamIsSavedDecryptedWithTheKeyThePageGets) {
  const std::string path = m_folder + "/aes.ts";
  const std::string last =
      Save(u"savePlaylist", R"({"id": )" + Id("http://site.test/aes.m3u8") + "}", path);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_EQ(Contents(path),
            "the first segment, longer than a block"
            "second"
            "CLEAR");
  // The key is asked for as the page's own requests are.
  EXPECT_EQ(Sent(u"http://site.test/aes.key"), u"Referer: http://site.test/watch?token=s3cr3t\r\n");
  const struct {
    const char* playlist;
    const char* failure;
  } cases[] = {
      {"http://site.test/badkey.m3u8", "holds 5 bytes, not 16"},
      {"http://site.test/wrongkey.m3u8", "could not be decrypted"},
  };
  for (const auto& c : cases) {
    const std::string failed = m_folder + "/failed.ts";
    const std::string end = Save(u"savePlaylist", R"({"id": )" + Id(c.playlist) + "}", failed);
    EXPECT_NE(end.find(R"("state":"failed")"), std::string::npos) << end;
    EXPECT_NE(end.find(c.failure), std::string::npos) << end;
    EXPECT_FALSE(std::filesystem::exists(failed)) << c.playlist;
  }
  EXPECT_EQ(FilesIn(m_folder), 1u);
}

TEST_F(FileSavingTest, DroppedSegmentsAreFetchedAgainAndTheStreamStaysInOrder) {
  const std::string path = m_folder + "/flaky.ts";
  const std::string last =
      Save(u"savePlaylist", R"({"id": )" + Id("http://site.test/flaky.m3u8") + "}", path, 200);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_EQ(Contents(path), "zero-one-two-three-four-five");
  const auto fetches = [](const std::u16string& url) {
    const auto& downloads = sim::GetRecords().downloads;
    return std::count_if(
        downloads.begin(), downloads.end(),
        [&url](const sim::DownloadRecord& download) { return download.url == url; });
  };
  EXPECT_EQ(fetches(u"http://site.test/f1.ts"), 2);
  EXPECT_EQ(fetches(u"http://site.test/f3.ts"), 3);

  const struct {
    const char* playlist;
    const char16_t* segment;
    long tries;
    const char* failure;
  } cases[] = {
      // Three tries after the first, then the save fails with the segment's error.
      {"http://site.test/gone.m3u8", u"http://site.test/gone.ts", 4, "gone.ts: "},
      // A server that refuses the segment is not asked again.
      {"http://site.test/missing.m3u8", u"http://site.test/none.ts", 1, "answered 404"},
  };
  for (const auto& c : cases) {
    const std::string failed = m_folder + "/failed.ts";
    const std::string end = Save(u"savePlaylist", R"({"id": )" + Id(c.playlist) + "}", failed, 200);
    EXPECT_NE(end.find(R"("state":"failed")"), std::string::npos) << end;
    EXPECT_NE(end.find(c.failure), std::string::npos) << end;
    EXPECT_EQ(fetches(c.segment), c.tries) << c.playlist;
    EXPECT_FALSE(std::filesystem::exists(failed)) << c.playlist;
  }
  EXPECT_EQ(FilesIn(m_folder), 1u);
}

TEST_F(FileSavingTest, ADashRepresentationIsSavedAsItsInitAndSegments) {
  const RequestRecord& row = Row("http://site.test/plain.mpd");
  ASSERT_TRUE(row.playlist);
  // The manifest's one picture and no sound: its segments are joined as they are.
  const std::string path = m_folder + "/dash.mp4";
  const std::string last =
      Save(u"savePlaylist", R"({"id": )" + Id("http://site.test/plain.mpd") + "}", path);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_EQ(Contents(path), "INIT|first|second");
}

TEST_F(FileSavingTest, ByteRangesAreSavedExactly) {
  const struct {
    const char* playlist;
    const char* name;  // of the container the segments make: they are joined as they are
    std::string saved;
  } cases[] = {
      // The init section, then two parts of the same file, each asked for with its Range.
      {"http://site.test/ranged.m3u8", "joined.mp4", Digits(58)},
      // A server that answers the whole file to a Range gets its part cut out.
      {"http://site.test/whole.m3u8", "joined.ts", Digits(8).substr(3)},
  };
  for (const auto& c : cases) {
    const std::string path = m_folder + "/" + c.name;
    const std::string last = Save(u"savePlaylist", R"({"id": )" + Id(c.playlist) + "}", path);
    EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
    EXPECT_EQ(Contents(path), c.saved) << c.playlist;
    std::filesystem::remove(path);
  }
  EXPECT_NE(Sent(u"http://site.test/all.mp4").find(u"Range: bytes="), std::u16string::npos);
}

TEST_F(FileSavingTest, WhatCannotBeSavedExactlyIsRefusedWithWhy) {
  const struct {
    std::u16string method;
    std::string params;
    const char* message;
  } cases[] = {
      {u"savePlaylist", R"({"id": )" + Id("http://site.test/locked.m3u8") + "}",
       "encrypted (SAMPLE-AES)"},
      {u"savePlaylist", R"({"id": )" + Id("http://site.test/drm.m3u8") + "}",
       "held by a DRM system (com.apple.streamingkeydelivery)"},
      {u"savePlaylist", R"({"id": )" + Id("http://site.test/stream.mpd") + "}",
       "protected by DRM (Widevine)"},
      {u"savePlaylist", R"({"id": )" + Id("http://site.test/master.m3u8") + R"(, "variant": 5})",
       "no such variant"},
      {u"savePlaylist", R"({"id": )" + Id("http://site.test/self.m3u8") + "}", "lists itself"},
      {u"saveFile", R"({"id": )" + Id("http://site.test/api") + "}", "was a POST"},
      {u"saveFile", R"({"id": )" + Id("blob:http://site.test/42") + "}", "blob:"},
  };
  for (const auto& c : cases)
    EXPECT_NE(Refusal(c.method, c.params).find(c.message), std::string::npos) << c.params;
  EXPECT_TRUE(sim::GetRecords().downloads.empty()) << "a refused save fetched";
  for (const char* params : {"null", "{}", R"({"id": 9999})", R"({"id": "1"})"}) {
    EXPECT_EQ(Call(u"savePlaylist", params), 0) << params;
    EXPECT_EQ(Call(u"saveFile", params), 0) << params;
  }
  EXPECT_EQ(Call(u"savePlaylist", R"({"id": )" + Id("http://site.test/movie.mp4") + "}"), 0);
  EXPECT_EQ(Call(u"saveShown", R"({"ids": []})"), 0);
  EXPECT_EQ(Call(u"cancelSave", R"({"job": 77})"), 0);
}

TEST_F(FileSavingTest, AStreamOverTheSegmentCapIsRefusedWithItsCount) {
  std::string text = "#EXTM3U\n";
  for (int i = 0; i < 60'000; ++i) text += "#EXTINF:1,\ns" + std::to_string(i) + ".ts\n";
  RequestRecord& row = State().m_records.back();
  ApplyPlaylist(State(), row.id, ReadPlaylist(text + "#EXT-X-ENDLIST\n", row.url));
  EXPECT_NE(Refusal(u"savePlaylist", R"({"id": )" + std::to_string(row.id) + "}")
                .find("lists 60,000 segments; at most 50,000"),
            std::string::npos);
}

TEST_F(FileSavingTest, TheListKeepsBoundedSegmentsAndASaveReadsDroppedOnesAgain) {
  const RequestRecord& ranged = Row("http://site.test/ranged.m3u8");
  std::string big = "#EXTM3U\n";
  for (int i = 0; i < 50'000; ++i) big += "#EXTINF:1,\ns" + std::to_string(i) + ".ts\n";
  const PlaylistFacts facts = ReadPlaylist(big + "#EXT-X-ENDLIST\n", "http://site.test/big.m3u8");
  for (uint32_t id = ranged.id + 1; id <= ranged.id + 10; ++id) ApplyPlaylist(State(), id, facts);
  EXPECT_LE(State().m_keptSegments, 500'000u);
  ASSERT_TRUE(ranged.playlist->segmentsDropped);
  EXPECT_TRUE(ranged.playlist->segments.empty());
  EXPECT_EQ(ranged.playlist->segmentCount, 3u);
  const std::string path = m_folder + "/again.mp4";
  const std::string last =
      Save(u"savePlaylist", R"({"id": )" + std::to_string(ranged.id) + "}", path);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_EQ(Contents(path), Digits(58));
  ClearResults(State());
  EXPECT_EQ(State().m_keptSegments, 0u);
}

TEST_F(FileSavingTest, ShownPlaylistsGoIntoTheFolderAsTheirStreamsToo) {
  std::string ids;
  for (const char* url : {"http://site.test/master.m3u8", "http://site.test/v/index.m3u8",
                          "http://site.test/ranged.m3u8", "http://site.test/locked.m3u8",
                          "http://site.test/stream.mpd"}) {
    ids += (ids.empty() ? "" : ",") + Id(url);
  }
  Save(u"saveShown", R"({"ids": [)" + ids + "]}", m_folder, 200);
  // The playlists' own files, and a stream for each playlist that no shown master lists
  // (the master's, by its best variant) and that can be joined.
  EXPECT_EQ(Contents(m_folder + "/master 4x4 _.._.bash_profile.ts"), "AAAABBBBCC");
  EXPECT_EQ(Contents(m_folder + "/ranged.mp4"), Digits(58));
  EXPECT_TRUE(std::filesystem::exists(m_folder + "/index.m3u8"));
  EXPECT_TRUE(std::filesystem::exists(m_folder + "/stream.mpd"));
  EXPECT_EQ(FilesIn(m_folder), 7u);
  std::vector<std::string> refusals;
  std::vector<uint32_t> rows;
  for (const char* url : {"http://site.test/locked.m3u8", "http://site.test/stream.mpd",
                          "http://site.test/movie.mp4"}) {
    rows.push_back(Row(url).id);
  }
  EXPECT_TRUE(StreamSavesOf(State(), rows, refusals).empty());
  ASSERT_EQ(refusals.size(), 2u);
  EXPECT_NE(refusals[0].find("locked.m3u8 as one file: This stream is encrypted (SAMPLE-AES)"),
            std::string::npos);
  EXPECT_NE(refusals[1].find("DRM (Widevine)"), std::string::npos);
}

TEST_F(FileSavingTest, ShownFilesStayInTheirFolderAndGoOnPastAFailure) {
  std::ofstream(m_folder + "/movie.mp4") << "mine";
  // A row whose address redirects to one no save follows.
  const_cast<RequestRecord&>(Row("ftp://elsewhere.test/file")).url = "http://site.test/to-ftp";
  std::string ids;
  for (const char* url :
       {"http://site.test/movie.mp4", "http://site.test/.bash_profile", "http://site.test/get?f=1",
        "http://site.test/cut.bin", "data:text/plain;base64,aGk=", "blob:http://site.test/42",
        "http://cdn.test/s2.ts", "http://site.test/to-ftp", "http://site.test/movie.mp4"}) {
    ids += (ids.empty() ? "" : ",") + Id(url);
  }
  const std::string last = Save(u"saveShown", R"({"ids": [)" + ids + "]}", m_folder, 120);
  EXPECT_NE(last.find(R"("state":"done")"), std::string::npos) << last;
  EXPECT_NE(last.find(R"("saved":5)"), std::string::npos) << last;
  // A file there is never replaced; hostile names lose their dot and their path.
  EXPECT_EQ(Contents(m_folder + "/movie.mp4"), "mine");
  EXPECT_EQ(Contents(m_folder + "/movie (2).mp4"), std::string(100'000, 'm'));
  EXPECT_EQ(Contents(m_folder + "/bash_profile.txt"), "rm -rf ~");
  EXPECT_EQ(Contents(m_folder + "/_.._evil.desktop"), "evil");
  EXPECT_EQ(Contents(m_folder + "/download.txt"), "hi");
  EXPECT_EQ(Contents(m_folder + "/s2.ts"), "CC");
  EXPECT_EQ(FilesIn(m_folder), 6u);
  // The failures, each with its reason: a body cut short, an address no save fetches, and
  // a redirect to one.
  for (const char* reason : {"cut short", "blob:", "not fetched: ftp://elsewhere.test/file"}) {
    EXPECT_NE(last.find(reason), std::string::npos) << reason << " in " << last;
  }
  // Each file carries the Referer its own row's request did: none for a row that had none.
  EXPECT_EQ(Sent(u"http://site.test/movie.mp4"), u"");
  // Saves never make a file executable.
  for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
    struct stat status {};
    ASSERT_EQ(stat(entry.path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0111, 0u) << entry.path();
  }
}

TEST_F(FileSavingTest, ACancelledOrFailedSaveLeavesNothing) {
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
  // A file cut short, or one the session cannot fetch, fails with the reason.
  const std::string cut =
      Save(u"saveFile", R"({"id": )" + Id("http://site.test/cut.bin") + "}", m_folder + "/c.bin");
  EXPECT_NE(cut.find(R"("state":"failed")"), std::string::npos) << cut;
  EXPECT_NE(cut.find("600 bytes of 1000 bytes"), std::string::npos) << cut;
  State().m_records.back().url = "http://site.test/gone.bin";
  const std::string last = Save(u"saveFile", R"({"id": )" + Id("http://site.test/gone.bin") + "}",
                                m_folder + "/gone.bin");
  EXPECT_NE(last.find(R"("state":"failed")"), std::string::npos) << last;
  EXPECT_NE(last.find("Not found"), std::string::npos) << last;
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
  EXPECT_TRUE(UiWindow().m_saves.jobs.empty());
  // A file larger than the process may write fails with the reason and leaves nothing.
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{50'000, limit.rlim_max};
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string tooLarge = Save(
      u"saveFile", R"({"id": )" + Id("http://site.test/movie.mp4") + "}", m_folder + "/movie.mp4");
  setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_NE(tooLarge.find("File too large"), std::string::npos) << tooLarge;
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
}

TEST_F(FileSavingTest, ClosingWhileASaveRunsAsksFirstAndLeavesNoPartialFile) {
  Save(u"saveFile", R"({"id": )" + Id("http://site.test/movie.mp4") + "}", m_folder + "/movie.mp4",
       2);
  ASSERT_EQ(UiWindow().m_saves.jobs.size(), 1u);
  int answer = IDNO;
  headless::SetMessageBoxAnswerer([&answer](UINT) { return answer; });
  SendMessageW(UiWindow().m_hWnd, WM_CLOSE, 0, 0);
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  EXPECT_NE(headless::MessageBoxes().back().text.find(u"still running"), std::u16string::npos);
  // No: Trawler stays, and so does the save.
  EXPECT_TRUE(IsWindow(UiWindow().m_hWnd));
  EXPECT_EQ(UiWindow().m_saves.jobs.size(), 1u);
  answer = IDYES;
  SendMessageW(UiWindow().m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(UiWindow().m_saves.jobs.empty());
  EXPECT_TRUE(std::filesystem::is_empty(m_folder));
}

TEST_F(FileSavingTest, APageThatLoadsAgainHearsHowEachSaveEnded) {
  Save(u"saveFile", R"({"id": )" + Id("http://site.test/movie.mp4") + "}", m_folder + "/movie.mp4");
  m_logs.clear();
  UiWindow().LoadUrl(u"http://ui.test/");
  Run(20);
  ASSERT_FALSE(m_logs.empty());
  EXPECT_NE(m_logs.back().find(R"("state":"done")"), std::string::npos) << m_logs.back();
}

}  // namespace

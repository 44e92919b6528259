#include "finder/records/har_export.h"

#include <gtest/gtest.h>

namespace {

RequestRecord Redirected() {
  RequestRecord record;
  record.search = 1;
  record.url = "http://h.test/final?a=1&b&c=x=y#top";
  record.status = 200;
  record.statusText = "OK";
  record.mimeType = "video/mp4";
  record.announcedLength = 1000;
  record.startMs = 10;
  record.responseMs = 30;
  record.durationMs = 50;
  record.finished = true;
  record.requestHeaders = {{"User-Agent", "Trawler test"}};
  RedirectHop hop;
  hop.url = "http://h.test/start";
  hop.method = "GET";
  hop.status = 301;
  hop.location = "/final";
  hop.startMs = 10;
  hop.durationMs = 20;
  record.redirects = {hop};
  return record;
}

TEST(HarExportTest, EachHopIsAnEntryBeforeItsRequestAndTimesAddUp) {
  const RequestRecord record = Redirected();
  const std::vector<SearchEntry> searches = {{"http://h.test/", 1.7e12, 0, 75.5}};
  const Json::Value log = HarLog({&record}, searches, false)["log"];
  EXPECT_EQ(log["version"].asString(), "1.2");
  ASSERT_EQ(log["pages"].size(), 1u);
  EXPECT_EQ(log["pages"][0]["startedDateTime"].asString(), "2023-11-14T22:13:20.000Z");
  EXPECT_EQ(log["pages"][0]["pageTimings"]["onLoad"].asDouble(), 75.5);
  ASSERT_EQ(log["entries"].size(), 2u);
  const Json::Value& hop = log["entries"][0];
  EXPECT_EQ(hop["response"]["status"].asInt(), 301);
  EXPECT_EQ(hop["response"]["redirectURL"].asString(), "/final");
  EXPECT_EQ(hop["startedDateTime"].asString(), "2023-11-14T22:13:20.010Z");
  EXPECT_EQ(hop["time"].asDouble(), 20);
  const Json::Value& entry = log["entries"][1];
  EXPECT_EQ(entry["pageref"].asString(), hop["pageref"].asString());
  // After the hop's 20 ms: 30 ms more in all, 10 of them waiting.
  EXPECT_EQ(entry["startedDateTime"].asString(), "2023-11-14T22:13:20.030Z");
  EXPECT_EQ(entry["time"].asDouble(), 30);
  EXPECT_EQ(entry["timings"]["wait"].asDouble(), 10);
  EXPECT_EQ(entry["timings"]["receive"].asDouble(), 20);
  EXPECT_EQ(entry["response"]["content"]["size"].asInt(), 1000);
  EXPECT_EQ(entry["request"]["headers"][0]["value"].asString(), "Trawler test");
  const Json::Value& query = entry["request"]["queryString"];
  ASSERT_EQ(query.size(), 3u);
  EXPECT_EQ(query[1]["name"].asString(), "b");
  EXPECT_EQ(query[2]["value"].asString(), "x=y");
}

TEST(HarExportTest, AFailedRequestIsAnEntryWithStatusZeroAndItsError) {
  RequestRecord failed;
  failed.search = 3;  // a search the list no longer knows: no page for it
  failed.url = "http://gone.test/a.png";
  failed.error = "Connection refused";
  failed.durationMs = 4;
  const Json::Value log = HarLog({&failed}, {}, false)["log"];
  EXPECT_TRUE(log["pages"].empty());
  const Json::Value& entry = log["entries"][0];
  EXPECT_FALSE(entry.isMember("pageref"));
  EXPECT_EQ(entry["response"]["status"].asInt(), 0);
  EXPECT_EQ(entry["response"]["content"]["mimeType"].asString(), "x-unknown");
  EXPECT_EQ(entry["response"]["bodySize"].asInt(), -1);
  EXPECT_EQ(entry["_error"].asString(), "Connection refused");
  EXPECT_EQ(entry["timings"]["wait"].asDouble(), 4);
}

TEST(HarExportTest, SizesAreWhatCrossedTheNetworkOrUnknown) {
  const struct {
    const char* what;
    int status;
    const char* method;
    HeaderFields headers;
    CacheSource cache;
    bool finished;
    bool cancelled;
    int64_t bodySize;
    int64_t contentSize;
  } cases[] = {
      {"a whole answer", 200, "GET", {}, CacheSource::kNetwork, true, false, 1000, 1000},
      {"a revalidated copy", 304, "GET", {}, CacheSource::kRevalidated, true, false, 0, 0},
      {"an answer to HEAD", 200, "HEAD", {}, CacheSource::kNetwork, true, false, 0, 0},
      // The announced length of a compressed answer is not its content's.
      {"a gzip answer",
       200,
       "GET",
       {{"Content-Encoding", "gzip"}},
       CacheSource::kNetwork,
       true,
       false,
       -1,
       -1},
      {"a copy from memory", 200, "GET", {}, CacheSource::kMemory, true, false, 0, 1000},
      {"a cancelled load", 200, "GET", {}, CacheSource::kNetwork, true, true, -1, -1},
      {"a load still going", 200, "GET", {}, CacheSource::kNetwork, false, false, -1, -1},
  };
  for (const auto& c : cases) {
    RequestRecord record;
    record.url = "http://h.test/a";
    record.status = c.status;
    record.method = c.method;
    record.responseHeaders = c.headers;
    record.cache = c.cache;
    record.announcedLength = 1000;
    record.finished = c.finished;
    record.cancelled = c.cancelled;
    record.responseMs = 10;
    record.durationMs = c.finished ? 25 : -1;
    const Json::Value entry = HarLog({&record}, {}, false)["log"]["entries"][0];
    EXPECT_EQ(entry["response"]["bodySize"].asInt64(), c.bodySize) << c.what;
    EXPECT_EQ(entry["response"]["content"]["size"].asInt64(), c.contentSize) << c.what;
    // The time is the sum of the timings, also while the load is still going.
    const Json::Value& timings = entry["timings"];
    EXPECT_EQ(entry["time"].asDouble(), timings["send"].asDouble() + timings["wait"].asDouble() +
                                            timings["receive"].asDouble())
        << c.what;
    EXPECT_GT(entry["time"].asDouble(), 0) << c.what;
  }
}

TEST(HarExportTest, CookiesAreTheSessionsAndASanitizedLogHoldsNone) {
  RequestRecord record;
  record.url = "http://h.test/a";
  record.status = 200;
  record.finished = true;
  record.cookiesKnown = true;
  record.cookieLines = "session=s3cr3t; Path=/; HttpOnly; SameSite=Lax\r\ntheme=dark\r\n";
  record.requestHeaders = {{"Authorization", "Basic eDp5"}, {"Accept", "*/*"}};
  record.responseHeaders = {{"Set-Cookie", "next=1; Secure"}, {"Content-Type", "text/html"}};
  const Json::Value full = HarLog({&record}, {}, false)["log"]["entries"][0];
  const Json::Value& cookies = full["request"]["cookies"];
  ASSERT_EQ(cookies.size(), 2u);
  EXPECT_EQ(cookies[0]["name"].asString(), "session");
  EXPECT_TRUE(cookies[0]["httpOnly"].asBool());
  EXPECT_EQ(cookies[0]["sameSite"].asString(), "Lax");
  EXPECT_FALSE(cookies[1]["httpOnly"].asBool());
  // The Cookie field the engine does not show is the one the session's cookies make.
  bool cookieField = false;
  for (const Json::Value& field : full["request"]["headers"]) {
    cookieField |= field["name"].asString() == "Cookie" &&
                   field["value"].asString() == "session=s3cr3t; theme=dark";
  }
  EXPECT_TRUE(cookieField);
  EXPECT_EQ(full["response"]["cookies"][0]["name"].asString(), "next");
  EXPECT_TRUE(full["response"]["cookies"][0]["secure"].asBool());

  const std::string sanitized =
      Json::FastWriter().write(HarLog({&record}, {}, true)["log"]["entries"][0]);
  for (const char* secret : {"s3cr3t", "eDp5", "next=1", "Cookie", "Authorization"}) {
    EXPECT_EQ(sanitized.find(secret), std::string::npos) << secret;
  }
  EXPECT_NE(sanitized.find("Accept"), std::string::npos);
}

TEST(HarExportTest, TimesAreUtcWithMilliseconds) {
  EXPECT_EQ(IsoTime(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(IsoTime(1234.9), "1970-01-01T00:00:01.234Z");
  EXPECT_EQ(IsoTime(-1), "1969-12-31T23:59:59.999Z");
}

}  // namespace

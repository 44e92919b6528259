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
  const Json::Value log = HarLog({&record}, searches)["log"];
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
  const Json::Value log = HarLog({&failed}, {})["log"];
  EXPECT_TRUE(log["pages"].empty());
  const Json::Value& entry = log["entries"][0];
  EXPECT_FALSE(entry.isMember("pageref"));
  EXPECT_EQ(entry["response"]["status"].asInt(), 0);
  EXPECT_EQ(entry["response"]["content"]["mimeType"].asString(), "x-unknown");
  EXPECT_EQ(entry["response"]["bodySize"].asInt(), -1);
  EXPECT_EQ(entry["_error"].asString(), "Connection refused");
  EXPECT_EQ(entry["timings"]["wait"].asDouble(), 4);
}

TEST(HarExportTest, TimesAreUtcWithMilliseconds) {
  EXPECT_EQ(IsoTime(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(IsoTime(1234.9), "1970-01-01T00:00:01.234Z");
  EXPECT_EQ(IsoTime(-1), "1969-12-31T23:59:59.999Z");
}

}  // namespace

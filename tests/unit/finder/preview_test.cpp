#include "finder/preview.h"

#include "finder/text/base64.h"
#include "tests/unit/finder/finder_test_support.h"

namespace {

// A page whose responses are of every kind a preview meets; the page hears previewReady.
class PreviewTest : public FinderTest {
 protected:
  void SetUp() override {
    StartApplication(std::string(kUiScript) +
                     "function updateResult(r) {}"
                     "function previewReady(p) { sim.log('preview ' + p); }");
    std::vector<sim::Response> responses = {
        {u"http://site.test/", u"text/html", 10},
        Served(u"http://site.test/data.json", u"application/json", "{\"a\":\"<b>\"}"),
        Served(u"http://site.test/big.mp4", u"video/mp4", std::string(kPreviewBytes + 5, 'v')),
        Served(u"http://site.test/api", u"application/json", "{\"answer\":\"GET\"}"),
        Served(u"data:image/svg+xml;base64,PHN2Zz48L3N2Zz4=", u"image/svg+xml", ""),
        Served(u"blob:http://site.test/7", u"video/mp4", ""),
        Served(u"http://site.test/gone.png", u"image/png", "x"),
    };
    responses[3].method = u"POST";
    responses[6].status = 404;
    sim::SetPage(u"http://site.test/", sim::Page{responses, {""}});
    ASSERT_EQ(Call(u"start", R"({"url": "http://site.test/", "filterEnabled": false,
                                 "useFileExtFilter": false, "mimeFilter": ""})"),
              1);
    Run(40);
    m_logs.clear();
  }

  uint32_t IdOf(const std::string& url) {
    for (const RequestRecord& record : State().m_records) {
      if (record.url == url) return record.id;
    }
    ADD_FAILURE() << "no row for " << url;
    return 0;
  }

  // Asks for a row's preview; what the page heard of it (null when nothing).
  Json::Value PreviewOf(const std::string& url, std::string* refusal = nullptr) {
    Json::Value params(Json::objectValue);
    params["id"] = IdOf(url);
    Json::Value answer;
    const int result = RequestPreview(params, State(), UiWindow().m_preview, answer);
    if (refusal) *refusal = answer["message"].asString();
    if (!result) return Json::Value();
    Run(40);
    Json::Value told;
    for (const std::string& line : m_logs) {
      if (line.rfind("preview ", 0) == 0) ReadJsonText(line.substr(8), told);
    }
    m_logs.clear();
    return told;
  }

  static std::string Bytes(const Json::Value& told) {
    std::string bytes;
    EXPECT_TRUE(Base64Decoded(told["data"].asString(), bytes));
    return bytes;
  }
};

TEST_F(PreviewTest, ABodyComesWholeOrItsFirstTenMegabytesWithItsType) {
  const Json::Value json = PreviewOf("http://site.test/data.json");
  EXPECT_TRUE(json["ok"].asBool()) << json.toStyledString();
  EXPECT_TRUE(json["whole"].asBool());
  EXPECT_EQ(json["mimeType"].asString(), "application/json");
  EXPECT_EQ(Bytes(json), "{\"a\":\"<b>\"}");
  // Fetched again, an error status is what the preview says.
  EXPECT_NE(PreviewOf("http://site.test/gone.png")["error"].asString().find("404"),
            std::string::npos);
  const Json::Value big = PreviewOf("http://site.test/big.mp4");
  EXPECT_TRUE(big["ok"].asBool());
  EXPECT_FALSE(big["whole"].asBool());
  EXPECT_EQ(big["bytes"].asUInt64(), kPreviewBytes);
  // A data: address is its own body, with its own type.
  const Json::Value svg = PreviewOf("data:image/svg+xml;base64,PHN2Zz48L3N2Zz4=");
  EXPECT_EQ(svg["mimeType"].asString(), "image/svg+xml");
  EXPECT_EQ(Bytes(svg), "<svg></svg>");
}

TEST_F(PreviewTest, WhatCannotBeHadAsItCameSaysWhy) {
  std::string refusal;
  EXPECT_TRUE(PreviewOf("blob:http://site.test/7", &refusal).isNull());
  EXPECT_NE(refusal.find("blob:"), std::string::npos) << refusal;
  // The engine kept no copy of the POST's answer, and a GET would fetch another.
  const Json::Value post = PreviewOf("http://site.test/api");
  EXPECT_FALSE(post["ok"].asBool());
  EXPECT_NE(post["error"].asString().find("POST"), std::string::npos);
  EXPECT_EQ(post["data"].asString(), "");
  size_t posts = 0;
  for (const sim::DownloadRecord& download : sim::GetRecords().downloads) {
    posts += download.url == u"http://site.test/api";
  }
  EXPECT_EQ(posts, 0u);
}

TEST_F(PreviewTest, ANewerPreviewStopsTheOlderOneWhichTellsNothing) {
  Json::Value params(Json::objectValue);
  Json::Value answer;
  params["id"] = IdOf("http://site.test/big.mp4");
  ASSERT_EQ(RequestPreview(params, State(), UiWindow().m_preview, answer), 1);
  const Json::Value json = PreviewOf("http://site.test/data.json");
  EXPECT_EQ(json["id"].asUInt(), IdOf("http://site.test/data.json"));
  size_t told = 0;
  for (const std::string& line : m_logs) told += line.rfind("preview ", 0) == 0;
  EXPECT_EQ(told, 0u);
}

}  // namespace

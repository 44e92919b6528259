#include "finder/result_reporting.h"

#include "finder/records/record_json.h"
#include "finder/resource_load_delegate.h"
#include "tests/unit/finder/finder_test_support.h"

#include <algorithm>

namespace {

class ResultReportingTest : public FinderTest {
 protected:
  void SetUp() override {
    FinderTest::SetUp();
    State().m_running = 1;
    State().m_filterEnabled = 0;
  }
  static RequestRecord Record(const std::string& url, const std::string& mime, int64_t length) {
    RequestRecord record;
    record.url = url;
    record.mimeType = mime;
    record.announcedLength = length;
    return record;
  }
};

TEST_F(ResultReportingTest, RowKeepsItsFourTextsAndAddsTheRequestsOutcome) {
  RequestRecord record = Record("http://h.test/a/b.mp3?x=1", "audio/mpeg", 1536);
  record.status = 404;
  record.statusText = "Not Found";
  record.method = "POST";
  record.window = 2;
  record.startMs = 12.4;
  record.responseMs = 3.6;
  record.redirects.resize(2);
  EXPECT_EQ(KeepRequest(State(), record), 1u);
  ASSERT_EQ(m_logs.size(), 1u);
  EXPECT_EQ(m_logs[0],
            "addResult {\"bytes\":1536,\"cache\":\"\",\"cancelled\":false,\"duration\":-1,"
            "\"error\":\"\",\"fileName\":\"b.mp3\",\"fromCache\":false,\"id\":1,\"method\":"
            "\"POST\",\"mimeType\":\"audio/mpeg\",\"parent\":0,"
            "\"received\":-1,\"redirects\":2,\"response\":4,\"size\":\"1.50KB\",\"start\":12,"
            "\"status\":404,\"statusText\":\"Not Found\",\"url\":\"http://h.test/a/b.mp3?x=1\","
            "\"window\":2}\n");
  ASSERT_NE(FindRecord(State(), 1), nullptr);
  EXPECT_EQ(FindRecord(State(), 1)->url, "http://h.test/a/b.mp3?x=1");
}

class MediaUnplayableTest : public FinderTest {
 protected:
  void SetUp() override {
    StartApplication(std::string(kUiScript) +
                     "function mediaUnplayable(n) { sim.log('mediaUnplayable ' + n); }");
  }
  size_t Told() {
    return std::count_if(m_logs.begin(), m_logs.end(), [](const std::string& log) {
      return log.rfind("mediaUnplayable", 0) == 0;
    });
  }
};

TEST_F(MediaUnplayableTest, TheFirstMediaRowTellsThePageWhatCannotBePlayedHereOnce) {
  sim::SetMissingDecoders("no H.264");
  const auto keep = [this](const char* url, const char* mime) {
    RequestRecord record;
    record.url = url;
    record.mimeType = mime;
    KeepRequest(State(), record);
    Run(5);
  };
  keep("http://h.test/page.html", "text/html");
  keep("http://h.test/style.css", "text/css");
  EXPECT_EQ(Told(), 0u);
  // A playlist by its name, whatever its type.
  keep("http://h.test/live/index.m3u8", "text/plain");
  ASSERT_EQ(Told(), 1u);
  EXPECT_NE(m_logs.back().find(R"({"message":"no H.264"})"), std::string::npos) << m_logs.back();
  keep("http://h.test/movie.mp4", "video/mp4");
  EXPECT_EQ(Told(), 1u);
  // A page that loads again hears it with the rows.
  m_logs.clear();
  ReplayRows(State());
  Run(5);
  EXPECT_EQ(Told(), 1u);
}

TEST_F(MediaUnplayableTest, AMachineThatPlaysItAllSaysNothing) {
  RequestRecord record;
  record.url = "http://h.test/movie.mp4";
  record.mimeType = "video/mp4";
  KeepRequest(State(), record);
  Run(5);
  EXPECT_EQ(Told(), 0u);
}

TEST_F(ResultReportingTest, RowTextsFollowTheirRules) {
  struct Case {
    std::string url;
    int64_t length;
    const char* fileName;
    const char* size;
  };
  const Case cases[] = {
      {"http://h.test/x.bin", -1, "x.bin", "unknown"},
      {"http://h.test/x.bin", 0, "x.bin", "0B"},
      {"http://h.test", 10, "unknown", "10B"},
      {"", 1, "unknown", "1B"},
      {"http://h.test/\xC3\xA9\"q\\", -2, "\xC3\xA9\"q\\", "16384.00PB"},
  };
  for (const Case& c : cases) {
    const Json::Value row = RowValue(Record(c.url, "a/b", c.length));
    EXPECT_EQ(row["fileName"].asString(), c.fileName) << c.url;
    EXPECT_EQ(row["size"].asString(), c.size) << c.url;
    EXPECT_EQ(row["url"].asString(), c.url);
  }
}

TEST_F(ResultReportingTest, RequestsFailedBeforeAResponseAreListedUnlessATypeIsAskedFor) {
  RequestRecord failed = Record("http://h.test/clip.mp4", "", -1);
  failed.error = "Connection refused";
  EXPECT_NE(ReportFailedRequest(State(), failed), 0u);
  State().m_filterEnabled = 1;
  State().m_useFileExtFilter = 1;
  State().m_extensionSet = {u".mp4"};
  EXPECT_NE(ReportFailedRequest(State(), failed), 0u);
  State().m_extensionSet = {u".mp3"};
  EXPECT_EQ(ReportFailedRequest(State(), failed), 0u);
  State().m_useFileExtFilter = 0;
  State().m_mimeFilter = u"video";
  EXPECT_EQ(ReportFailedRequest(State(), failed), 0u);
  EXPECT_EQ(State().m_rows.size(), 2u);
}

TEST_F(ResultReportingTest, UpdatesReplaceTheKeptRowAndIdentifiersOutliveAClear) {
  const uint32_t first = KeepRequest(State(), Record("http://h.test/1", "a/b", 1));
  RequestRecord& ended = *FindRecord(State(), first);
  ended.durationMs = 8;
  ended.finished = true;
  m_logs.clear();
  UpdateReported(State(), first);
  ASSERT_EQ(m_logs.size(), 0u) << "the page has no updateResult: nothing is shown";
  EXPECT_NE(State().m_rows[0].find("\"duration\":8"), std::string::npos);
  EXPECT_EQ(Call(u"clear", "{}"), 1);
  EXPECT_EQ(FindRecord(State(), first), nullptr);
  UpdateReported(State(), first);  // a row the list no longer holds
  EXPECT_TRUE(State().m_rows.empty());
  EXPECT_EQ(KeepRequest(State(), Record("http://h.test/2", "a/b", 1)), first + 1);
}

class PageWithoutAddResultTest : public FinderTest {
 protected:
  void SetUp() override { StartApplication("var addResult = 5;"); }
};

TEST_F(PageWithoutAddResultTest, RowIsKeptButNotShown) {
  RequestRecord record;
  record.url = "http://h.test/a";
  EXPECT_EQ(KeepRequest(State(), record), 1u);
  EXPECT_EQ(State().m_rows.size(), 1u);
  EXPECT_EQ(headless::DebugOutput(), u"");
}

class ThrowingAddResultTest : public FinderTest {
 protected:
  void SetUp() override { StartApplication("function addResult() { throw 'no rows'; }"); }
};

TEST_F(ThrowingAddResultTest, ExceptionIsWrittenAndTheRowKept) {
  RequestRecord record;
  record.url = "http://h.test/a";
  EXPECT_EQ(KeepRequest(State(), record), 1u);
  EXPECT_EQ(headless::DebugOutput(), u"no rows\n");
  EXPECT_EQ(State().m_rows.size(), 1u);
}

// A response that counts the questions it is asked and can fail them.
class FakeResponse : public IWebURLResponse {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT expectedContentLength(long long* result) override {
    ++m_questions;
    *result = 99;
    return m_lengthResult;
  }
  HRESULT MIMEType(BSTR* result) override {
    ++m_questions;
    *result = SysAllocString(u"a/b");
    return S_OK;
  }
  HRESULT URL(BSTR* result) override {
    ++m_questions;
    *result = m_urlResult == S_OK ? SysAllocString(u"http://h.test/r") : nullptr;
    return m_urlResult;
  }
  int m_questions = 0;
  HRESULT m_urlResult = S_OK;
  HRESULT m_lengthResult = S_OK;
};

TEST_F(ResultReportingTest, FilteredRowsAreNeitherKeptNorReported) {
  State().m_filterEnabled = 1;
  State().m_mimeFilter = u"video";
  CResourceLoadDelegate delegate;
  FakeResponse response;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 1, &response, nullptr), S_OK);
  EXPECT_TRUE(State().m_records.empty());
  EXPECT_TRUE(m_logs.empty());
}

TEST_F(ResultReportingTest, PausedResponsesAreCountedOnlyWhenTheFilterPassesThem) {
  CResourceLoadDelegate delegate;
  FakeResponse response;
  State().m_paused = 1;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 1, &response, nullptr), S_OK);
  // Paused, a response is asked only what the filter tests.
  EXPECT_EQ(response.m_questions, 2);
  EXPECT_EQ(State().m_unlisted, 1u);
  State().m_filterEnabled = 1;
  State().m_mimeFilter = u"video";
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 2, &response, nullptr), S_OK);
  EXPECT_EQ(State().m_unlisted, 1u);
  // Idle, it is asked nothing.
  State().m_paused = 0;
  State().m_running = 0;
  FakeResponse unasked;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 3, &unasked, nullptr), S_OK);
  EXPECT_EQ(unasked.m_questions, 0);
  EXPECT_TRUE(State().m_records.empty());
  EXPECT_TRUE(m_logs.empty());
}

TEST_F(ResultReportingTest, DelegateAnswersTheCodesOfItsQuestions) {
  CResourceLoadDelegate delegate;
  FakeResponse failingUrl;
  failingUrl.m_urlResult = E_FAIL;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 1, &failingUrl, nullptr), E_FAIL);
  FakeResponse noUrl;
  noUrl.m_urlResult = S_FALSE;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 1, &noUrl, nullptr), S_FALSE);
  EXPECT_TRUE(State().m_records.empty());

  FakeResponse failingLength;
  failingLength.m_lengthResult = E_NOTIMPL;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 4, &failingLength, nullptr), E_NOTIMPL);
  ASSERT_EQ(State().m_records.size(), 1u);
  EXPECT_EQ(State().m_records[0].announcedLength, 0);
}

}  // namespace

#include "finder/result_reporting.h"

#include "finder/resource_load_delegate.h"
#include "tests/unit/finder/finder_test_support.h"

namespace {

class ResultReportingTest : public FinderTest {
 protected:
  void SetUp() override {
    FinderTest::SetUp();
    State().m_running = 1;
    State().m_filterEnabled = 0;
  }
  std::string Reported(const std::u16string& url, const std::u16string& mime, int64_t length) {
    m_logs.clear();
    EXPECT_EQ(ReportResponse(State(), url, 7, mime, length), 1);
    EXPECT_EQ(m_logs.size(), 1u);
    return m_logs.empty() ? "" : m_logs[0];
  }
};

TEST_F(ResultReportingTest, ResultIsRecordedThenHandedToThePageAsCompactJson) {
  EXPECT_EQ(Reported(u"http://h.test/a/b.mp3?x=1", u"audio/mpeg", 1536),
            "addResult {\"fileName\":\"b.mp3\",\"mimeType\":\"audio/mpeg\",\"size\":\"1.50KB\","
            "\"url\":\"http://h.test/a/b.mp3?x=1\"}\n");
  ASSERT_EQ(State().m_results.count(7), 1u);
  const FinderResult& result = State().m_results[7];
  EXPECT_EQ(result.fileName, "b.mp3");
  EXPECT_EQ(result.size, "1.50KB");
}

TEST_F(ResultReportingTest, FieldsFollowTheirRules) {
  struct Case {
    std::u16string url;
    std::u16string mime;
    int64_t length;
    FinderResult expected;
  };
  const Case cases[] = {
      {u"http://h.test/x.bin", u"a/b", -1, {"x.bin", "http://h.test/x.bin", "a/b", "unknown"}},
      {u"http://h.test/x.bin", u"a/b", 0, {"x.bin", "http://h.test/x.bin", "a/b", "0B"}},
      {u"http://h.test", u"", 10, {"unknown", "http://h.test", "", "10B"}},
      {u"", u"", 1, {"unknown", "", "", "1B"}},
      {u"http://h.test/\u00E9\"q\\",
       u"text/x",
       -2,
       {"\xC3\xA9\"q\\", "http://h.test/\xC3\xA9\"q\\", "text/x", "16384.00PB"}},
  };
  for (const Case& c : cases) {
    ReportResponse(State(), c.url, 1, c.mime, c.length);
    const FinderResult& result = State().m_results[1];
    EXPECT_EQ(result.fileName, c.expected.fileName);
    EXPECT_EQ(result.url, c.expected.url);
    EXPECT_EQ(result.mimeType, c.expected.mimeType);
    EXPECT_EQ(result.size, c.expected.size);
  }
  // The writer escapes quotes and backslashes.
  EXPECT_EQ(ResultJson({"a\"b", "u\\", "m", "s"}),
            "{\"fileName\":\"a\\\"b\",\"mimeType\":\"m\",\"size\":\"s\",\"url\":\"u\\\\\"}\n");
}

TEST_F(ResultReportingTest, FilteredResponsesAreNeitherRecordedNorReported) {
  State().m_filterEnabled = 1;
  State().m_mimeFilter = u"video";
  EXPECT_EQ(ReportResponse(State(), u"http://h.test/a", 1, u"", 5), 0);
  EXPECT_TRUE(State().m_results.empty());
  EXPECT_TRUE(m_logs.empty());
}

TEST_F(ResultReportingTest, SameIdentifierTwiceGivesTwoRowsAndOneEntry) {
  ReportResponse(State(), u"http://h.test/1", 3, u"a/b", 1);
  ReportResponse(State(), u"http://h.test/2", 3, u"a/b", 1);
  EXPECT_EQ(m_logs.size(), 2u);
  ASSERT_EQ(State().m_results.size(), 1u);
  EXPECT_EQ(State().m_results[3].url, "http://h.test/2");
}

class PageWithoutAddResultTest : public FinderTest {
 protected:
  void SetUp() override { StartApplication("var addResult = 5;"); }
};

TEST_F(PageWithoutAddResultTest, ResultIsRecordedButNotShown) {
  EXPECT_EQ(ReportResponse(State(), u"http://h.test/a", 1, u"a/b", 1), 0);
  EXPECT_EQ(State().m_results.size(), 1u);
  EXPECT_EQ(headless::DebugOutput(), u"");
}

class ThrowingAddResultTest : public FinderTest {
 protected:
  void SetUp() override { StartApplication("function addResult() { throw 'no rows'; }"); }
};

TEST_F(ThrowingAddResultTest, ExceptionIsWrittenAndTheResultKept) {
  EXPECT_EQ(ReportResponse(State(), u"http://h.test/a", 1, u"a/b", 1), 0);
  EXPECT_EQ(headless::DebugOutput(), u"no rows\n");
  EXPECT_EQ(State().m_results.size(), 1u);
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

TEST_F(ResultReportingTest, DelegateAsksNothingWhileIdleOrPaused) {
  CResourceLoadDelegate delegate;
  FakeResponse response;
  State().m_paused = 1;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 1, &response, nullptr), S_OK);
  State().m_paused = 0;
  State().m_running = 0;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 1, &response, nullptr), S_OK);
  EXPECT_EQ(response.m_questions, 0);
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
  EXPECT_TRUE(State().m_results.empty());

  FakeResponse failingLength;
  failingLength.m_lengthResult = E_NOTIMPL;
  EXPECT_EQ(delegate.didReceiveResponse(nullptr, 4, &failingLength, nullptr), E_NOTIMPL);
  EXPECT_EQ(State().m_results[4].size, "0B");
}

}  // namespace

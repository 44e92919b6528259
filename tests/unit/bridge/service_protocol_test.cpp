#include "bridge/service_protocol.h"

#include "tests/unit/bridge/recording_handler.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ServiceProtocolTest : public testing::Test {
 protected:
  std::string Call(const char* paramsText) {
    return DispatchServiceCall(RecordingHandler, &m_seen, u"com.quillmoor.trawler", u"start",
                               paramsText);
  }
  Seen m_seen;
};

TEST_F(ServiceProtocolTest, AbsentOrEmptyParametersAreNull) {
  EXPECT_EQ(Call(nullptr), "null\n");
  EXPECT_TRUE(m_seen.params.isNull());
  EXPECT_EQ(Call(""), "null\n");
  EXPECT_TRUE(m_seen.params.isNull());
  EXPECT_EQ(m_seen.calls, 2);
  EXPECT_EQ(m_seen.uri, u"com.quillmoor.trawler");
  EXPECT_EQ(m_seen.method, u"start");
}

TEST_F(ServiceProtocolTest, AnyJsonValueIsADocument) {
  Call("5");
  EXPECT_EQ(m_seen.params, Json::Value(5));
  Call("[1,\"a\"]");
  ASSERT_TRUE(m_seen.params.isArray());
  EXPECT_EQ(m_seen.params.size(), 2u);
  Call("/* note */ {\"url\": \"x\"}");
  EXPECT_EQ(m_seen.params["url"], Json::Value("x"));
}

TEST_F(ServiceProtocolTest, BrokenTextGivesWhatWasBuiltAndStillCalls) {
  Call("{\"url\": \"x\", \"filterEnabled\": tr");
  ASSERT_TRUE(m_seen.params.isObject());
  EXPECT_EQ(m_seen.params["url"], Json::Value("x"));
  Call("not json");
  EXPECT_TRUE(m_seen.params.isNull());
  EXPECT_EQ(m_seen.calls, 2);
}

TEST_F(ServiceProtocolTest, TooDeepNestingIsNotParsed) {
  Call(std::string(100000, '[').c_str());
  EXPECT_TRUE(m_seen.params.isNull());
  const std::string deepButFine = std::string(999, '[') + "1" + std::string(999, ']');
  Call(deepButFine.c_str());
  EXPECT_TRUE(m_seen.params.isArray());
  const std::string justTooDeep = std::string(1000, '[') + "1" + std::string(1000, ']');
  Call(justTooDeep.c_str());
  EXPECT_TRUE(m_seen.params.isNull());
  const std::string objects = [] {
    std::string text;
    for (int i = 0; i < 1200; ++i) text += "{\"a\":";
    return text + "1" + std::string(1200, '}');
  }();
  Call(objects.c_str());
  EXPECT_TRUE(m_seen.params.isNull());
  // Brackets inside strings and comments do not nest.
  const std::string quoted = "[\"" + std::string(5000, '[') + "\"] // " + std::string(5000, '{');
  Call(quoted.c_str());
  EXPECT_TRUE(m_seen.params.isArray());
  // An escaped quote does not end the string.
  const std::string escaped = "[\"\\\"" + std::string(5000, '[') + "\"]";
  Call(escaped.c_str());
  EXPECT_TRUE(m_seen.params.isArray());
}

TEST_F(ServiceProtocolTest, ResponseIsCompactWithSortedKeys) {
  m_seen.returnValue["returnValue"] = 1;
  EXPECT_EQ(Call("{}"), "{\"returnValue\":1}\n");
  EXPECT_EQ(Call("{}").size(), 18u);
  m_seen.returnValue = Json::Value(Json::objectValue);
  m_seen.returnValue["b"] = "x y";
  m_seen.returnValue["a"] = 0;
  EXPECT_EQ(Call("{}"), "{\"a\":0,\"b\":\"x y\"}\n");
}

TEST(ServiceProtocolNoHandlerTest, AnswersNull) {
  EXPECT_EQ(DispatchServiceCall(nullptr, nullptr, u"", u"", "{}"), "null\n");
}

}  // namespace

#include "bridge/script_values.h"

#include "platform/headless/observation.h"
#include "tests/unit/bridge/handle_counter.h"
#include "tests/unit/bridge/script_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using script_test::Evaluate;
using script_test::StringOf;

// A fresh context per test; every string handle made during the test must be released
// by its end, and debug output is captured piece by piece.
class ScriptValuesTest : public testing::Test, public headless::Observer {
 protected:
  void SetUp() override {
    m_context = js::JSGlobalContextCreate(nullptr);
    m_global = js::JSContextGetGlobalObject(m_context);
    headless::ResetRecords();
    headless::SetObserver(this);
    m_liveStrings = string_handles::Live();
    m_protectedValues = protected_values::Live();
  }

  void TearDown() override {
    EXPECT_EQ(string_handles::Live(), m_liveStrings) << "string handles leaked";
    EXPECT_EQ(protected_values::Live(), m_protectedValues) << "values left protected";
    headless::SetObserver(nullptr);
    js::JSGlobalContextRelease(m_context);
  }

  void DebugOutput(const std::u16string& piece) override { m_debugPieces.push_back(piece); }

  // Looks the global function up and calls it with the given string arguments.
  bool Call(const char* name, const std::vector<std::string>& texts, js::JSValueRef& result) {
    ScriptFunctionRef function;
    GetScriptFunction(m_context, m_global, function, name);
    ScriptArguments arguments{m_context, {}};
    for (const std::string& text : texts) AppendStringArgument(text, arguments);
    const bool called = CallScriptFunction(function, arguments, result);
    ClearArguments(arguments);
    return called;
  }

  const std::u16string& Debug() { return headless::DebugOutput(); }

  js::JSGlobalContextRef m_context = nullptr;
  js::JSObjectRef m_global = nullptr;
  std::vector<std::u16string> m_debugPieces;
  long m_liveStrings = 0;
  long m_protectedValues = 0;
};

// The leak check of every test is only as good as the counter behind it.
TEST_F(ScriptValuesTest, CounterSeesEveryHandleKind) {
  js::JSStringRef made = js::JSStringCreateWithUTF8CString("x");
  js::JSStringRef copied = js::JSValueToStringCopy(m_context, Evaluate(m_context, "1"), nullptr);
  EXPECT_EQ(string_handles::Live(), m_liveStrings + 2);
  js::JSStringRelease(made);
  js::JSStringRelease(copied);
}

TEST_F(ScriptValuesTest, MissingFunctionIsNotCalledAndSilent) {
  ScriptFunctionRef function;
  EXPECT_FALSE(GetScriptFunction(m_context, m_global, function, "updateInputUrl"));
  EXPECT_EQ(function.context, m_context);
  EXPECT_EQ(function.thisObject, m_global);
  EXPECT_EQ(function.function, nullptr);

  js::JSValueRef result = nullptr;
  ScriptArguments arguments{m_context, {}};
  AppendStringArgument("x", arguments);
  EXPECT_FALSE(CallScriptFunction(function, arguments, result));
  EXPECT_EQ(result, nullptr);
  ClearArguments(arguments);
  EXPECT_TRUE(arguments.values.empty());
  EXPECT_EQ(arguments.context, m_context);
  EXPECT_EQ(Debug(), u"");
}

TEST_F(ScriptValuesTest, NullPropertyIsDefinedButNoFunction) {
  Evaluate(m_context, "var nothing = null; var notCallable = {};");
  js::JSValueRef value = nullptr;
  EXPECT_TRUE(GetDefinedProperty("nothing", m_context, m_global, value));
  EXPECT_TRUE(js::JSValueIsNull(m_context, value));
  ScriptFunctionRef function;
  EXPECT_FALSE(GetScriptFunction(m_context, m_global, function, "nothing"));
  EXPECT_EQ(function.function, nullptr);

  js::JSValueRef result = nullptr;
  EXPECT_FALSE(Call("notCallable", {}, result));
  EXPECT_EQ(Debug(), u"");
}

TEST_F(ScriptValuesTest, NullHandlesAndNamesGiveFalse) {
  js::JSValueRef value = nullptr;
  EXPECT_FALSE(GetDefinedProperty(nullptr, m_context, m_global, value));
  EXPECT_FALSE(GetDefinedProperty("x", nullptr, m_global, value));
  EXPECT_FALSE(GetDefinedProperty("x", m_context, nullptr, value));
  EXPECT_EQ(value, nullptr);
  std::u16string text;
  EXPECT_FALSE(ScriptStringToWide(nullptr, text));
}

TEST_F(ScriptValuesTest, ThrowingPageFunctionWritesTextThenLineFeed) {
  Evaluate(m_context, "function addResult(row) { throw new Error('bad ' + row); }");
  js::JSValueRef result = nullptr;
  EXPECT_FALSE(Call("addResult", {"x"}, result));
  EXPECT_EQ(m_debugPieces, (std::vector<std::u16string>{u"Error: bad x", u"\n"}));
}

TEST_F(ScriptValuesTest, CallPassesReceiverArgumentsAndResult) {
  Evaluate(m_context,
           "var name = 'global';"
           "function count() { return String(arguments.length); }"
           "function echo(a) { return this.name + ':' + a.length + ':' + a; }");
  js::JSValueRef result = nullptr;
  EXPECT_TRUE(Call("count", {}, result));
  EXPECT_EQ(StringOf(m_context, result), "0");

  const std::string text = "caf\xC3\xA9 \xF0\x9F\x8E\xB5";  // é is one unit, the note two
  EXPECT_TRUE(Call("echo", {text}, result));
  std::string utf8;
  EXPECT_TRUE(ScriptValueToUtf8(m_context, result, utf8));
  EXPECT_EQ(utf8, "global:7:" + text);
  std::u16string wide;
  EXPECT_TRUE(ScriptValueToWide(m_context, result, wide));
  EXPECT_EQ(wide, u"global:7:caf\u00E9 \U0001F3B5");
}

TEST_F(ScriptValuesTest, EmptyStringFormGivesFalseAndEmptyOutput) {
  const js::JSValueRef values[] = {
      Evaluate(m_context, "''"),
      Evaluate(m_context, "({toString() { return ''; }})"),
      Evaluate(m_context, "[]"),
  };
  for (js::JSValueRef value : values) {
    std::u16string wide = u"old";
    EXPECT_FALSE(ScriptValueToWide(m_context, value, wide));
    EXPECT_EQ(wide, u"");
    std::string utf8 = "old";
    EXPECT_FALSE(ScriptValueToUtf8(m_context, value, utf8));
    EXPECT_EQ(utf8, "");
  }
  EXPECT_EQ(Debug(), u"");
}

TEST_F(ScriptValuesTest, StringPropertyUsesStringFormAndKeepsOutputWhenMissing) {
  Evaluate(m_context, "var uri = 7; var method = 'st\\u00e4rt';");
  std::u16string text = u"kept";
  EXPECT_FALSE(GetStringProperty(m_context, m_global, "missing", text));
  EXPECT_EQ(text, u"kept");
  EXPECT_TRUE(GetStringProperty(m_context, m_global, "uri", text));
  EXPECT_EQ(text, u"7");
  EXPECT_TRUE(GetStringProperty(m_context, m_global, "method", text));
  EXPECT_EQ(text, u"st\u00E4rt");
}

TEST_F(ScriptValuesTest, ThrowingGetterIsReportedAndCountsAsMissing) {
  Evaluate(m_context, "Object.defineProperty(this, 'params', {get() { throw 'trapped'; }});");
  js::JSValueRef value = nullptr;
  EXPECT_FALSE(GetDefinedProperty("params", m_context, m_global, value));
  EXPECT_EQ(Debug(), u"trapped\n");
}

TEST_F(ScriptValuesTest, ExceptionWhileConvertingAnExceptionIsReportedInstead) {
  Evaluate(m_context,
           "function nested() { throw {toString() { throw 'inner'; }}; }"
           "function endless() { const e = {toString() { throw e; }}; throw e; }");
  js::JSValueRef result = nullptr;
  EXPECT_FALSE(Call("nested", {}, result));
  EXPECT_EQ(Debug(), u"inner\n");

  headless::ResetRecords();
  EXPECT_FALSE(Call("endless", {}, result));
  EXPECT_EQ(Debug(), u"");
  EXPECT_FALSE(
      ReportScriptException(m_context, Evaluate(m_context, "({toString() { throw 1; }})")));
}

TEST_F(ScriptValuesTest, StringHandleTextEndsAtEmbeddedNul) {
  js::JSStringRef string = js::JSStringCreateWithCharacters(u"ab\0c", 4);
  std::u16string wide;
  EXPECT_TRUE(ScriptStringToWide(string, wide));
  EXPECT_EQ(wide, u"ab");
  std::string utf8;
  EXPECT_TRUE(ScriptStringToUtf8(string, utf8));
  EXPECT_EQ(utf8, "ab");
  js::JSStringRelease(string);

  js::JSStringRef leadingNul = js::JSStringCreateWithCharacters(u"\0x", 2);
  EXPECT_TRUE(ScriptStringToWide(leadingNul, wide));
  EXPECT_EQ(wide, u"");
  EXPECT_FALSE(ScriptStringToUtf8(leadingNul, utf8));
  js::JSStringRelease(leadingNul);
}

}  // namespace

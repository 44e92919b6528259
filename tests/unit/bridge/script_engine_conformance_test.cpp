// The results the system relies on from the script engine interface, for any
// implementation: the suite is parameterised by the harness that provides contexts.

#include "tests/unit/bridge/script_engine_conformance.h"
#include "tests/unit/bridge/script_test_support.h"

#include <gtest/gtest.h>

#include <string>

using script_test::Evaluate;
using script_test::StringOf;
using script_test::Utf8Of;

TEST_P(ScriptEngineConformanceTest, EvaluatesInTheGlobalObject) {
  ASSERT_NE(m_context, nullptr);
  ASSERT_NE(Global(), nullptr);
  Evaluate(m_context, "var answer = 6 * 7;");
  const js::JSValueRef value = Property(Global(), "answer");
  ASSERT_TRUE(js::JSValueIsNumber(m_context, value));
  EXPECT_EQ(js::JSValueToNumber(m_context, value, nullptr), 42.0);
}

TEST_P(ScriptEngineConformanceTest, StringsKeepUtf16CodeUnits) {
  const char16_t text[] = u"a\u00E9\U0001F3B5";
  js::JSStringRef string = js::JSStringCreateWithCharacters(text, 4);
  EXPECT_EQ(js::JSStringGetLength(string), 4u);
  EXPECT_EQ(std::u16string(js::JSStringGetCharactersPtr(string), 4), std::u16string(text, 4));
  EXPECT_EQ(Utf8Of(string), "a\xC3\xA9\xF0\x9F\x8E\xB5");
  js::JSStringRelease(string);

  js::JSStringRef fromUtf8 = js::JSStringCreateWithUTF8CString("\xF0\x9F\x8E\xB5");
  EXPECT_EQ(js::JSStringGetLength(fromUtf8), 2u);
  EXPECT_EQ(js::JSStringGetCharactersPtr(fromUtf8)[0], char16_t(0xD83C));
  js::JSStringRelease(fromUtf8);

  js::JSStringRef empty = js::JSStringCreateWithUTF8CString("");
  EXPECT_EQ(js::JSStringGetLength(empty), 0u);
  js::JSStringRelease(empty);
}

TEST_P(ScriptEngineConformanceTest, MadeValuesHaveTheirTypes) {
  const js::JSValueRef undefinedValue = js::JSValueMakeUndefined(m_context);
  const js::JSValueRef nullValue = js::JSValueMakeNull(m_context);
  const js::JSValueRef trueValue = js::JSValueMakeBoolean(m_context, true);
  const js::JSValueRef number = js::JSValueMakeNumber(m_context, 2.5);
  js::JSStringRef text = js::JSStringCreateWithUTF8CString("x");
  const js::JSValueRef string = js::JSValueMakeString(m_context, text);
  js::JSStringRelease(text);

  EXPECT_TRUE(js::JSValueIsUndefined(m_context, undefinedValue));
  EXPECT_FALSE(js::JSValueIsUndefined(m_context, nullValue));
  EXPECT_TRUE(js::JSValueIsNull(m_context, nullValue));
  EXPECT_TRUE(js::JSValueIsBoolean(m_context, trueValue));
  EXPECT_TRUE(js::JSValueToBoolean(m_context, trueValue));
  EXPECT_TRUE(js::JSValueIsNumber(m_context, number));
  EXPECT_TRUE(js::JSValueIsString(m_context, string));
  EXPECT_FALSE(js::JSValueIsObject(m_context, string));
  EXPECT_FALSE(js::JSValueIsObject(m_context, nullValue));
  EXPECT_EQ(StringOf(m_context, string), "x");
  EXPECT_EQ(StringOf(m_context, number), "2.5");
  EXPECT_EQ(StringOf(m_context, undefinedValue), "undefined");
}

TEST_P(ScriptEngineConformanceTest, ConversionsReportExceptions) {
  const js::JSValueRef hostile = Evaluate(m_context, "({toString() { throw 'no'; }})");
  js::JSValueRef exception = nullptr;
  EXPECT_EQ(js::JSValueToStringCopy(m_context, hostile, &exception), nullptr);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "no");

  exception = nullptr;
  EXPECT_EQ(js::JSValueToObject(m_context, js::JSValueMakeNull(m_context), &exception), nullptr);
  EXPECT_NE(exception, nullptr);

  exception = nullptr;
  Evaluate(m_context, "throw new Error('boom')", &exception);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "Error: boom");
}

TEST_P(ScriptEngineConformanceTest, PropertiesReadAndWrite) {
  js::JSStringRef name = js::JSStringCreateWithUTF8CString("service");
  js::JSValueRef exception = nullptr;
  js::JSObjectSetProperty(m_context, Global(), name, js::JSValueMakeNumber(m_context, 7),
                          js::kJSPropertyAttributeNone, &exception);
  js::JSStringRelease(name);
  EXPECT_EQ(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, Evaluate(m_context, "String(service)")), "7");
  EXPECT_TRUE(js::JSValueIsUndefined(m_context, Property(Global(), "missing")));

  Evaluate(m_context, "Object.defineProperty(this, 'trap', {get() { throw 'trapped'; }});");
  exception = nullptr;
  Property(Global(), "trap", &exception);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "trapped");
}

TEST_P(ScriptEngineConformanceTest, CallsFunctionsWithReceiverAndArguments) {
  Evaluate(m_context, "var box = {n: 'b', f(a, c) { return this.n + a + c; }};");
  js::JSObjectRef box = js::JSValueToObject(m_context, Property(Global(), "box"), nullptr);
  js::JSObjectRef f = js::JSValueToObject(m_context, Property(box, "f"), nullptr);
  EXPECT_TRUE(js::JSObjectIsFunction(m_context, f));
  EXPECT_FALSE(js::JSObjectIsFunction(m_context, box));

  js::JSStringRef one = js::JSStringCreateWithUTF8CString("1");
  js::JSStringRef two = js::JSStringCreateWithUTF8CString("2");
  const js::JSValueRef arguments[] = {js::JSValueMakeString(m_context, one),
                                      js::JSValueMakeString(m_context, two)};
  js::JSStringRelease(one);
  js::JSStringRelease(two);
  js::JSValueRef exception = nullptr;
  const js::JSValueRef result =
      js::JSObjectCallAsFunction(m_context, f, box, 2, arguments, &exception);
  EXPECT_EQ(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, result), "b12");

  Evaluate(m_context, "function thrower() { throw 'inside'; }");
  js::JSObjectRef thrower = js::JSValueToObject(m_context, Property(Global(), "thrower"), nullptr);
  EXPECT_EQ(js::JSObjectCallAsFunction(m_context, thrower, nullptr, 0, nullptr, &exception),
            nullptr);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "inside");
}

namespace {

// A static function that answers its receiver's private data and argument count.
js::JSValueRef Describe(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef thisObject,
                        size_t argumentCount, const js::JSValueRef[], js::JSValueRef*) {
  const auto* label = static_cast<const char*>(js::JSObjectGetPrivate(thisObject));
  const std::string text =
      std::string(label ? label : "none") + ":" + std::to_string(argumentCount);
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(text.c_str());
  const js::JSValueRef value = js::JSValueMakeString(context, string);
  js::JSStringRelease(string);
  return value;
}

js::JSValueRef Nothing(js::JSContextRef, js::JSObjectRef, js::JSObjectRef, size_t,
                       const js::JSValueRef[], js::JSValueRef*) {
  return nullptr;
}

}  // namespace

TEST_P(ScriptEngineConformanceTest, ClassesCarryStaticFunctionsAndPrivateData) {
  static const js::JSStaticFunction functions[] = {
      {"describe", Describe, js::kJSPropertyAttributeNone},
      {"nothing", Nothing, js::kJSPropertyAttributeNone},
      {nullptr, nullptr, 0},
  };
  js::JSClassDefinition definition = js::kJSClassDefinitionEmpty;
  definition.className = "TestClass";
  definition.staticFunctions = functions;
  js::JSClassRef testClass = js::JSClassCreate(&definition);
  ASSERT_NE(testClass, nullptr);

  static char label[] = "mine";
  js::JSObjectRef object = js::JSObjectMake(m_context, testClass, label);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(js::JSObjectGetPrivate(object), label);
  EXPECT_TRUE(js::JSValueIsObjectOfClass(m_context, object, testClass));
  EXPECT_FALSE(js::JSValueIsObjectOfClass(m_context, Global(), testClass));

  js::JSStringRef name = js::JSStringCreateWithUTF8CString("thing");
  js::JSObjectSetProperty(m_context, Global(), name, object, js::kJSPropertyAttributeNone, nullptr);
  js::JSStringRelease(name);
  EXPECT_EQ(StringOf(m_context, Evaluate(m_context, "thing.describe(1, 2)")), "mine:2");
  // A static function called on a foreign receiver sees no private data.
  EXPECT_EQ(StringOf(m_context, Evaluate(m_context, "thing.describe.call({})")), "none:0");
  // A callback answering null gives undefined to the page.
  EXPECT_EQ(StringOf(m_context, Evaluate(m_context, "typeof thing.nothing()")), "undefined");
  js::JSClassRelease(testClass);
}

TEST_P(ScriptEngineConformanceTest, FunctionsFromCallbacksAndProtection) {
  js::JSStringRef name = js::JSStringCreateWithUTF8CString("describe");
  js::JSObjectRef function = js::JSObjectMakeFunctionWithCallback(m_context, name, Describe);
  js::JSObjectSetProperty(m_context, Global(), name, function, js::kJSPropertyAttributeNone,
                          nullptr);
  js::JSStringRelease(name);
  EXPECT_TRUE(js::JSObjectIsFunction(m_context, function));
  EXPECT_EQ(StringOf(m_context, Evaluate(m_context, "describe('a')")), "none:1");

  const js::JSValueRef kept = Evaluate(m_context, "({kept: true})");
  js::JSValueProtect(m_context, kept);
  Evaluate(m_context, "for (let i = 0; i < 10000; ++i) [i, {i}];");
  EXPECT_TRUE(js::JSValueIsObject(m_context, kept));
  js::JSValueUnprotect(m_context, kept);
}

namespace {

std::string g_postedExceptions;

void RecordPostedException(js::JSContextRef context, js::JSValueRef exception) {
  g_postedExceptions += StringOf(context, exception) + ";";
}

bool PostTo(js::JSContextRef context, js::JSObjectRef object, const char* name,
            const char* argument) {
  js::JSStringRef property = js::JSStringCreateWithUTF8CString(name);
  js::JSStringRef text = js::JSStringCreateWithUTF8CString(argument);
  const js::JSValueRef value = js::JSValueMakeString(context, text);
  const bool posted =
      js::JSObjectPostCallToProperty(context, object, property, 1, &value, RecordPostedException);
  js::JSStringRelease(text);
  js::JSStringRelease(property);
  return posted;
}

}  // namespace

TEST_P(ScriptEngineConformanceTest, PostedCallsRunInOrderWithTheObjectAsReceiver) {
  g_postedExceptions.clear();
  Evaluate(m_context,
           "var got = [];"
           "function take(x) { if (x === 'bad') throw new Error('no ' + x); got.push(x); }"
           "var box = {n: 'box', take(x) { got.push(this.n + ':' + x); }};");
  EXPECT_TRUE(PostTo(m_context, Global(), "take", "a"));
  PostTo(m_context, Global(), "take", "bad");
  // A property that holds no function makes no call and no exception.
  PostTo(m_context, Global(), "missing", "x");
  PostTo(m_context, Global(), "got", "x");
  PostTo(m_context, js::JSValueToObject(m_context, Property(Global(), "box"), nullptr), "take",
         "b");
  PostTo(m_context, Global(), "take", "c");
  // Anything the engine does after the posts sees them done.
  EXPECT_EQ(StringOf(m_context, Evaluate(m_context, "got.join()")), "a,box:b,c");
  EXPECT_EQ(g_postedExceptions, "Error: no bad;");
}

#pragma once

// The conformance suite of the script engine interface. Each implementation's test
// executable instantiates it with a harness that makes and releases contexts.

#include "bridge/script_engine.h"

#include <gtest/gtest.h>

struct ScriptEngineHarness {
  const char* name;
  js::JSGlobalContextRef (*createContext)();
  void (*releaseContext)(js::JSGlobalContextRef context);
  // String handles alive now: every test releases each one it makes.
  long (*liveStrings)();
};

class ScriptEngineConformanceTest : public testing::TestWithParam<ScriptEngineHarness> {
 protected:
  void SetUp() override {
    m_strings = GetParam().liveStrings();
    m_context = GetParam().createContext();
    ASSERT_NE(m_context, nullptr);
  }
  void TearDown() override {
    GetParam().releaseContext(m_context);
    EXPECT_EQ(GetParam().liveStrings(), m_strings) << "string handles leaked";
  }

  js::JSObjectRef Global() { return js::JSContextGetGlobalObject(m_context); }

  js::JSValueRef Property(js::JSObjectRef object, const char* name,
                          js::JSValueRef* exception = nullptr) {
    js::JSStringRef string = js::JSStringCreateWithUTF8CString(name);
    js::JSValueRef value = js::JSObjectGetProperty(m_context, object, string, exception);
    js::JSStringRelease(string);
    return value;
  }

  js::JSGlobalContextRef m_context = nullptr;
  long m_strings = 0;
};

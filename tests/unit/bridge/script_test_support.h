#pragma once

// Small helpers for tests that run script in a context of their own.

#include "bridge/script_engine.h"

#include <gtest/gtest.h>

#include <string>

namespace script_test {

// Evaluates script in the context; the exception, if any, lands in *exception.
inline js::JSValueRef Evaluate(js::JSContextRef context, const char* script,
                               js::JSValueRef* exception = nullptr) {
  js::JSStringRef source = js::JSStringCreateWithUTF8CString(script);
  js::JSValueRef ignored = nullptr;
  js::JSValueRef value =
      js::JSEvaluateScript(context, source, nullptr, nullptr, 1, exception ? exception : &ignored);
  js::JSStringRelease(source);
  return value;
}

// The UTF-8 text of a string handle, through the engine's own conversion.
inline std::string Utf8Of(js::JSStringRef string) {
  std::string text(js::JSStringGetMaximumUTF8CStringSize(string), '\0');
  const size_t written = js::JSStringGetUTF8CString(string, text.data(), text.size());
  text.resize(written > 0 ? written - 1 : 0);
  return text;
}

// The string form of a value, through the engine directly.
inline std::string StringOf(js::JSContextRef context, js::JSValueRef value) {
  js::JSStringRef string = js::JSValueToStringCopy(context, value, nullptr);
  std::string text = string ? Utf8Of(string) : "<exception>";
  if (string) js::JSStringRelease(string);
  return text;
}

}  // namespace script_test

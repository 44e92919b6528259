#include "bridge/script_values.h"

#include "platform/text.h"

#include <algorithm>
#include <memory>

namespace {

// A value whose string form raises an exception whose string form raises another, and so
// on, would make reporting recurse without end; past this depth nothing more is reported.
constexpr int kMaxExceptionNesting = 4;

// Owns a string handle the operation created.
class ScriptString {
 public:
  explicit ScriptString(js::JSStringRef string) : m_string(string) {}
  explicit ScriptString(const char* text) : m_string(js::JSStringCreateWithUTF8CString(text)) {}
  ~ScriptString() {
    if (m_string) js::JSStringRelease(m_string);
  }
  ScriptString(const ScriptString&) = delete;
  ScriptString& operator=(const ScriptString&) = delete;

  js::JSStringRef Get() const { return m_string; }

 private:
  js::JSStringRef m_string;
};

bool ReportException(js::JSContextRef context, js::JSValueRef exception, int depth);

// The string form of a value, reporting an exception raised on the way at depth + 1; its
// whole length, before any cut at a NUL, goes to wholeLength when given.
bool ValueToWide(js::JSContextRef context, js::JSValueRef value, std::u16string& output, int depth,
                 size_t* wholeLength = nullptr) {
  output.clear();
  js::JSValueRef exception = nullptr;
  ScriptString string(js::JSValueToStringCopy(context, value, &exception));
  if (exception) {
    ReportException(context, exception, depth + 1);
    return false;
  }
  if (string.Get() && wholeLength) *wholeLength = js::JSStringGetLength(string.Get());
  return string.Get() && ScriptStringToWide(string.Get(), output);
}

bool ReportException(js::JSContextRef context, js::JSValueRef exception, int depth) {
  if (depth > kMaxExceptionNesting) return false;
  std::u16string text;
  if (!ValueToWide(context, exception, text, depth)) return false;
  OutputDebugStringW(text.c_str());
  OutputDebugStringW(u"\n");
  return true;
}

// Reports the exception, if one was raised; true when there was none.
bool NoException(js::JSContextRef context, js::JSValueRef exception) {
  if (!exception) return true;
  ReportException(context, exception, 0);
  return false;
}

}  // namespace

bool ScriptStringToWide(js::JSStringRef string, std::u16string& output) {
  output.clear();
  const size_t length = string ? js::JSStringGetLength(string) : 0;
  if (length == 0) return false;
  output.assign(js::JSStringGetCharactersPtr(string), length);
  const size_t nul = output.find(u'\0');
  if (nul != std::u16string::npos) output.resize(nul);
  return true;
}

bool ScriptStringToUtf8(js::JSStringRef string, std::string& output) {
  output.clear();
  std::u16string text;
  if (!ScriptStringToWide(string, text) || text.empty()) return false;
  output = platform::Utf8(text);
  return true;
}

bool ScriptValueToWide(js::JSContextRef context, js::JSValueRef value, std::u16string& output) {
  return ValueToWide(context, value, output, 0);
}

bool ScriptValueToUtf8(js::JSContextRef context, js::JSValueRef value, std::string& output) {
  output.clear();
  std::u16string text;
  if (!ScriptValueToWide(context, value, text) || text.empty()) return false;
  output = platform::Utf8(text);
  return true;
}

bool ReportScriptException(js::JSContextRef context, js::JSValueRef exception) {
  return ReportException(context, exception, 0);
}

bool GetDefinedProperty(const char* name, js::JSContextRef context, js::JSObjectRef object,
                        js::JSValueRef& value) {
  if (!context || !object || !name) return false;
  ScriptString propertyName(name);
  js::JSValueRef exception = nullptr;
  value = js::JSObjectGetProperty(context, object, propertyName.Get(), &exception);
  if (!NoException(context, exception)) return false;
  return !js::JSValueIsUndefined(context, value);
}

bool GetStringProperty(js::JSContextRef context, js::JSObjectRef object, const char* name,
                       std::u16string& output) {
  js::JSValueRef value = nullptr;
  if (!GetDefinedProperty(name, context, object, value)) return false;
  return ScriptValueToWide(context, value, output);
}

bool GetWholeStringProperty(js::JSContextRef context, js::JSObjectRef object, const char* name,
                            std::u16string& output) {
  js::JSValueRef value = nullptr;
  size_t wholeLength = 0;
  if (!GetDefinedProperty(name, context, object, value) ||
      !ValueToWide(context, value, output, 0, &wholeLength)) {
    return false;
  }
  if (output.size() == wholeLength) return true;
  output.clear();
  return false;
}

bool GetScriptFunction(js::JSContextRef context, js::JSObjectRef object,
                       ScriptFunctionRef& function, const char* name) {
  function.context = context;
  function.thisObject = object;
  js::JSValueRef value = nullptr;
  if (!GetDefinedProperty(name, context, object, value)) return false;
  if (!js::JSValueIsObject(context, value)) return false;
  js::JSValueRef exception = nullptr;
  function.function = js::JSValueToObject(context, value, &exception);
  return NoException(context, exception);
}

void AppendStringArgument(const std::string& text, ScriptArguments& arguments) {
  // Without a context no value can be made, and nothing could be called with it.
  if (!arguments.context) return;
  ScriptString string(text.c_str());
  const js::JSValueRef value = js::JSValueMakeString(arguments.context, string.Get());
  js::JSValueProtect(arguments.context, value);
  arguments.values.push_back(value);
}

bool CallScriptFunction(const ScriptFunctionRef& function, const ScriptArguments& arguments,
                        js::JSValueRef& result) {
  if (!function.context || !function.function ||
      !js::JSObjectIsFunction(function.context, function.function)) {
    return false;
  }
  const size_t count = arguments.values.size();
  std::unique_ptr<js::JSValueRef[]> values;
  if (count > 0) {
    values = std::make_unique<js::JSValueRef[]>(count);
    std::copy(arguments.values.begin(), arguments.values.end(), values.get());
  }
  js::JSValueRef exception = nullptr;
  result = js::JSObjectCallAsFunction(function.context, function.function, function.thisObject,
                                      count, values.get(), &exception);
  return NoException(function.context, exception);
}

void ClearArguments(ScriptArguments& arguments) {
  for (js::JSValueRef value : arguments.values) js::JSValueUnprotect(arguments.context, value);
  std::vector<js::JSValueRef>().swap(arguments.values);
}

bool PostScriptCall(js::JSContextRef context, js::JSObjectRef object, const char* name,
                    const ScriptArguments& arguments) {
  if (!context || !object || !name) return false;
  ScriptString functionName(name);
  const auto report = [](js::JSContextRef where, js::JSValueRef exception) {
    ReportScriptException(where, exception);
  };
  return js::JSObjectPostCallToProperty(context, object, functionName.Get(),
                                        arguments.values.size(), arguments.values.data(), report);
}

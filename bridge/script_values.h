#pragma once

// Reading values from a page's script and calling its functions. Every script exception
// met here goes to the debugger output and becomes a false result; every string handle
// an operation creates is released before it returns.

#include "bridge/script_engine.h"

#include <string>
#include <vector>

// A page function to call: the context, the receiver it was looked up on, and the
// function (null until a lookup succeeds).
struct ScriptFunctionRef {
  js::JSContextRef context = nullptr;
  js::JSObjectRef thisObject = nullptr;
  js::JSObjectRef function = nullptr;
};

// The arguments of one call, made in the given context. The values are protected from the
// collector from AppendStringArgument until ClearArguments.
struct ScriptArguments {
  js::JSContextRef context = nullptr;
  std::vector<js::JSValueRef> values;
};

// The text of a string handle, up to an embedded NUL; false, with the output empty, for an
// empty string. The handle stays the caller's.
bool ScriptStringToWide(js::JSStringRef string, std::u16string& output);
bool ScriptStringToUtf8(js::JSStringRef string, std::string& output);

// The string form of a value; false, with the output empty, on an exception (reported) or
// an empty string form.
bool ScriptValueToWide(js::JSContextRef context, js::JSValueRef value, std::u16string& output);
bool ScriptValueToUtf8(js::JSContextRef context, js::JSValueRef value, std::string& output);

// Writes the exception's string form and a line feed to the debugger output.
bool ReportScriptException(js::JSContextRef context, js::JSValueRef exception);

// A named property; true when it is defined (null counts as defined). The value is stored
// in every case once the property was read.
bool GetDefinedProperty(const char* name, js::JSContextRef context, js::JSObjectRef object,
                        js::JSValueRef& value);
// A defined property with a non-empty string form; otherwise the output stays as it was.
bool GetStringProperty(js::JSContextRef context, js::JSObjectRef object, const char* name,
                       std::u16string& output);
// The same for a text that must match as a whole: one with an embedded NUL (which the
// conversion cuts, so it could pass for its part before the NUL) gives false and an empty
// output.
bool GetWholeStringProperty(js::JSContextRef context, js::JSObjectRef object, const char* name,
                            std::u16string& output);
// Fills the record's context and receiver, then looks up an object-valued property.
bool GetScriptFunction(js::JSContextRef context, js::JSObjectRef object,
                       ScriptFunctionRef& function, const char* name);

void AppendStringArgument(const std::string& text, ScriptArguments& arguments);
// Calls the function with the arguments; true when it was called and raised no exception.
bool CallScriptFunction(const ScriptFunctionRef& function, const ScriptArguments& arguments,
                        js::JSValueRef& result);
void ClearArguments(ScriptArguments& arguments);

// Calls the object's named function with the arguments as a one-way message, for native
// code that tells the page something without waiting for it: at once in this process, in
// order and later in another. An exception it raises goes to the debugger output when the
// page reports it. True when the call was made without an exception (in this process) or
// sent on its way (to another process).
bool PostScriptCall(js::JSContextRef context, js::JSObjectRef object, const char* name,
                    const ScriptArguments& arguments);

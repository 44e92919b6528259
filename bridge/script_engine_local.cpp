// The script engine interface over JavaScriptCore in this process. The handle types are
// JavaScriptCore's own, so each function forwards unchanged; only the class definition
// and the character type need translating.

#include "bridge/script_engine.h"

#include <JavaScriptCore/JavaScript.h>

#include <vector>

static_assert(sizeof(js::JSChar) == sizeof(::JSChar));

namespace js {
namespace {

// A NUL-terminated table of the interface converted entry by entry to JavaScriptCore's.
template <typename To, typename From, typename Convert>
std::vector<To> CopyTable(const From* table, Convert convert) {
  std::vector<To> copy;
  if (!table) return copy;
  for (const From* entry = table; entry->name; ++entry) copy.push_back(convert(*entry));
  copy.push_back(To{});
  return copy;
}

}  // namespace

JSGlobalContextRef JSGlobalContextCreate(JSClassRef globalObjectClass) {
  return ::JSGlobalContextCreate(globalObjectClass);
}

void JSGlobalContextRelease(JSGlobalContextRef ctx) { ::JSGlobalContextRelease(ctx); }

JSObjectRef JSContextGetGlobalObject(JSContextRef ctx) { return ::JSContextGetGlobalObject(ctx); }

JSValueRef JSEvaluateScript(JSContextRef ctx, JSStringRef script, JSObjectRef thisObject,
                            JSStringRef sourceURL, int startingLineNumber, JSValueRef* exception) {
  return ::JSEvaluateScript(ctx, script, thisObject, sourceURL, startingLineNumber, exception);
}

JSStringRef JSStringCreateWithUTF8CString(const char* string) {
  return ::JSStringCreateWithUTF8CString(string);
}

JSStringRef JSStringCreateWithCharacters(const JSChar* chars, size_t numChars) {
  return ::JSStringCreateWithCharacters(reinterpret_cast<const ::JSChar*>(chars), numChars);
}

void JSStringRelease(JSStringRef string) { ::JSStringRelease(string); }

size_t JSStringGetLength(JSStringRef string) { return ::JSStringGetLength(string); }

const JSChar* JSStringGetCharactersPtr(JSStringRef string) {
  return reinterpret_cast<const JSChar*>(::JSStringGetCharactersPtr(string));
}

size_t JSStringGetMaximumUTF8CStringSize(JSStringRef string) {
  return ::JSStringGetMaximumUTF8CStringSize(string);
}

size_t JSStringGetUTF8CString(JSStringRef string, char* buffer, size_t bufferSize) {
  return ::JSStringGetUTF8CString(string, buffer, bufferSize);
}

bool JSValueIsUndefined(JSContextRef ctx, JSValueRef value) {
  return ::JSValueIsUndefined(ctx, value);
}

bool JSValueIsNull(JSContextRef ctx, JSValueRef value) { return ::JSValueIsNull(ctx, value); }

bool JSValueIsBoolean(JSContextRef ctx, JSValueRef value) { return ::JSValueIsBoolean(ctx, value); }

bool JSValueIsNumber(JSContextRef ctx, JSValueRef value) { return ::JSValueIsNumber(ctx, value); }

bool JSValueIsString(JSContextRef ctx, JSValueRef value) { return ::JSValueIsString(ctx, value); }

bool JSValueIsObject(JSContextRef ctx, JSValueRef value) { return ::JSValueIsObject(ctx, value); }

bool JSValueIsObjectOfClass(JSContextRef ctx, JSValueRef value, JSClassRef jsClass) {
  return ::JSValueIsObjectOfClass(ctx, value, jsClass);
}

JSValueRef JSValueMakeUndefined(JSContextRef ctx) { return ::JSValueMakeUndefined(ctx); }

JSValueRef JSValueMakeNull(JSContextRef ctx) { return ::JSValueMakeNull(ctx); }

JSValueRef JSValueMakeBoolean(JSContextRef ctx, bool boolean) {
  return ::JSValueMakeBoolean(ctx, boolean);
}

JSValueRef JSValueMakeNumber(JSContextRef ctx, double number) {
  return ::JSValueMakeNumber(ctx, number);
}

JSValueRef JSValueMakeString(JSContextRef ctx, JSStringRef string) {
  return ::JSValueMakeString(ctx, string);
}

bool JSValueToBoolean(JSContextRef ctx, JSValueRef value) { return ::JSValueToBoolean(ctx, value); }

double JSValueToNumber(JSContextRef ctx, JSValueRef value, JSValueRef* exception) {
  return ::JSValueToNumber(ctx, value, exception);
}

JSStringRef JSValueToStringCopy(JSContextRef ctx, JSValueRef value, JSValueRef* exception) {
  return ::JSValueToStringCopy(ctx, value, exception);
}

JSObjectRef JSValueToObject(JSContextRef ctx, JSValueRef value, JSValueRef* exception) {
  return ::JSValueToObject(ctx, value, exception);
}

void JSValueProtect(JSContextRef ctx, JSValueRef value) { ::JSValueProtect(ctx, value); }

void JSValueUnprotect(JSContextRef ctx, JSValueRef value) { ::JSValueUnprotect(ctx, value); }

JSClassRef JSClassCreate(const JSClassDefinition* definition) {
  if (!definition) return nullptr;
  // JavaScriptCore copies the static tables into the class, so these copies may go.
  const auto values =
      CopyTable<::JSStaticValue>(definition->staticValues, [](const JSStaticValue& value) {
        return ::JSStaticValue{value.name, value.getProperty, value.setProperty, value.attributes};
      });
  const auto functions = CopyTable<::JSStaticFunction>(
      definition->staticFunctions, [](const JSStaticFunction& function) {
        return ::JSStaticFunction{function.name, function.callAsFunction, function.attributes};
      });
  ::JSClassDefinition real = ::kJSClassDefinitionEmpty;
  real.version = definition->version;
  real.attributes = definition->attributes;
  real.className = definition->className;
  real.parentClass = definition->parentClass;
  real.staticValues = values.empty() ? nullptr : values.data();
  real.staticFunctions = functions.empty() ? nullptr : functions.data();
  real.initialize = definition->initialize;
  real.finalize = definition->finalize;
  real.hasProperty = definition->hasProperty;
  real.getProperty = definition->getProperty;
  real.setProperty = definition->setProperty;
  real.deleteProperty = definition->deleteProperty;
  real.getPropertyNames = definition->getPropertyNames;
  real.callAsFunction = definition->callAsFunction;
  real.callAsConstructor = definition->callAsConstructor;
  real.hasInstance = definition->hasInstance;
  // The two JSType enumerations have the same values and representation.
  real.convertToType = reinterpret_cast<::JSObjectConvertToTypeCallback>(definition->convertToType);
  return ::JSClassCreate(&real);
}

void JSClassRelease(JSClassRef jsClass) { ::JSClassRelease(jsClass); }

JSObjectRef JSObjectMake(JSContextRef ctx, JSClassRef jsClass, void* data) {
  return ::JSObjectMake(ctx, jsClass, data);
}

JSObjectRef JSObjectMakeFunctionWithCallback(JSContextRef ctx, JSStringRef name,
                                             JSObjectCallAsFunctionCallback callAsFunction) {
  return ::JSObjectMakeFunctionWithCallback(ctx, name, callAsFunction);
}

void* JSObjectGetPrivate(JSObjectRef object) { return ::JSObjectGetPrivate(object); }

JSValueRef JSObjectGetProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                               JSValueRef* exception) {
  return ::JSObjectGetProperty(ctx, object, propertyName, exception);
}

void JSObjectSetProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                         JSValueRef value, JSPropertyAttributes attributes, JSValueRef* exception) {
  ::JSObjectSetProperty(ctx, object, propertyName, value, attributes, exception);
}

bool JSObjectIsFunction(JSContextRef ctx, JSObjectRef object) {
  return ::JSObjectIsFunction(ctx, object);
}

JSValueRef JSObjectCallAsFunction(JSContextRef ctx, JSObjectRef object, JSObjectRef thisObject,
                                  size_t argumentCount, const JSValueRef arguments[],
                                  JSValueRef* exception) {
  return ::JSObjectCallAsFunction(ctx, object, thisObject, argumentCount, arguments, exception);
}

bool JSObjectPostCallToProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                                size_t argumentCount, const JSValueRef arguments[],
                                JSPostedCallExceptionCallback onException) {
  if (!ctx || !object || !propertyName) return false;
  JSValueRef exception = nullptr;
  const JSValueRef property = ::JSObjectGetProperty(ctx, object, propertyName, &exception);
  JSObjectRef function = nullptr;
  if (!exception && property && ::JSValueIsObject(ctx, property)) {
    function = ::JSValueToObject(ctx, property, &exception);
  }
  const bool callable = function && ::JSObjectIsFunction(ctx, function);
  if (callable) {
    ::JSObjectCallAsFunction(ctx, function, object, argumentCount, arguments, &exception);
  }
  if (exception && onException) onException(ctx, exception);
  return callable && !exception;
}

}  // namespace js

#pragma once

// The JavaScriptCore C functions the system calls, with the argument lists of the real C
// API, in namespace js. The handles are opaque; which implementation stands behind them
// (JavaScriptCore in this process, or a page agent in the web process) is chosen at link
// time. Script exceptions arrive in the exception out-parameter, never as C++ exceptions.

#include <cstddef>

// Opaque handle structures, named as JavaScriptCore names them; only an implementation
// knows what they are.
struct OpaqueJSContextGroup;
struct OpaqueJSContext;
struct OpaqueJSString;
struct OpaqueJSClass;
struct OpaqueJSPropertyNameAccumulator;
struct OpaqueJSValue;

namespace js {

using JSContextRef = const OpaqueJSContext*;
using JSGlobalContextRef = OpaqueJSContext*;
using JSStringRef = OpaqueJSString*;
using JSClassRef = OpaqueJSClass*;
using JSPropertyNameAccumulatorRef = OpaqueJSPropertyNameAccumulator*;
using JSValueRef = const OpaqueJSValue*;
using JSObjectRef = OpaqueJSValue*;

using JSChar = char16_t;

using JSPropertyAttributes = unsigned;
constexpr JSPropertyAttributes kJSPropertyAttributeNone = 0;
constexpr JSPropertyAttributes kJSPropertyAttributeReadOnly = 1 << 1;
constexpr JSPropertyAttributes kJSPropertyAttributeDontEnum = 1 << 2;
constexpr JSPropertyAttributes kJSPropertyAttributeDontDelete = 1 << 3;

using JSClassAttributes = unsigned;
constexpr JSClassAttributes kJSClassAttributeNone = 0;

enum JSType : unsigned {
  kJSTypeUndefined,
  kJSTypeNull,
  kJSTypeBoolean,
  kJSTypeNumber,
  kJSTypeString,
  kJSTypeObject,
  kJSTypeSymbol,
  kJSTypeBigInt,
};

using JSObjectInitializeCallback = void (*)(JSContextRef ctx, JSObjectRef object);
using JSObjectFinalizeCallback = void (*)(JSObjectRef object);
using JSObjectHasPropertyCallback = bool (*)(JSContextRef ctx, JSObjectRef object,
                                             JSStringRef propertyName);
using JSObjectGetPropertyCallback = JSValueRef (*)(JSContextRef ctx, JSObjectRef object,
                                                   JSStringRef propertyName, JSValueRef* exception);
using JSObjectSetPropertyCallback = bool (*)(JSContextRef ctx, JSObjectRef object,
                                             JSStringRef propertyName, JSValueRef value,
                                             JSValueRef* exception);
using JSObjectDeletePropertyCallback = bool (*)(JSContextRef ctx, JSObjectRef object,
                                                JSStringRef propertyName, JSValueRef* exception);
using JSObjectGetPropertyNamesCallback = void (*)(JSContextRef ctx, JSObjectRef object,
                                                  JSPropertyNameAccumulatorRef propertyNames);
using JSObjectCallAsFunctionCallback = JSValueRef (*)(JSContextRef ctx, JSObjectRef function,
                                                      JSObjectRef thisObject, size_t argumentCount,
                                                      const JSValueRef arguments[],
                                                      JSValueRef* exception);
using JSObjectCallAsConstructorCallback = JSObjectRef (*)(JSContextRef ctx, JSObjectRef constructor,
                                                          size_t argumentCount,
                                                          const JSValueRef arguments[],
                                                          JSValueRef* exception);
using JSObjectHasInstanceCallback = bool (*)(JSContextRef ctx, JSObjectRef constructor,
                                             JSValueRef possibleInstance, JSValueRef* exception);
using JSObjectConvertToTypeCallback = JSValueRef (*)(JSContextRef ctx, JSObjectRef object,
                                                     JSType type, JSValueRef* exception);

struct JSStaticValue {
  const char* name;
  JSObjectGetPropertyCallback getProperty;
  JSObjectSetPropertyCallback setProperty;
  JSPropertyAttributes attributes;
};

struct JSStaticFunction {
  const char* name;
  JSObjectCallAsFunctionCallback callAsFunction;
  JSPropertyAttributes attributes;
};

struct JSClassDefinition {
  int version;
  JSClassAttributes attributes;
  const char* className;
  JSClassRef parentClass;
  const JSStaticValue* staticValues;
  const JSStaticFunction* staticFunctions;
  JSObjectInitializeCallback initialize;
  JSObjectFinalizeCallback finalize;
  JSObjectHasPropertyCallback hasProperty;
  JSObjectGetPropertyCallback getProperty;
  JSObjectSetPropertyCallback setProperty;
  JSObjectDeletePropertyCallback deleteProperty;
  JSObjectGetPropertyNamesCallback getPropertyNames;
  JSObjectCallAsFunctionCallback callAsFunction;
  JSObjectCallAsConstructorCallback callAsConstructor;
  JSObjectHasInstanceCallback hasInstance;
  JSObjectConvertToTypeCallback convertToType;
};

inline constexpr JSClassDefinition kJSClassDefinitionEmpty = {};

// Contexts and script evaluation.
JSGlobalContextRef JSGlobalContextCreate(JSClassRef globalObjectClass);
void JSGlobalContextRelease(JSGlobalContextRef ctx);
JSObjectRef JSContextGetGlobalObject(JSContextRef ctx);
JSValueRef JSEvaluateScript(JSContextRef ctx, JSStringRef script, JSObjectRef thisObject,
                            JSStringRef sourceURL, int startingLineNumber, JSValueRef* exception);

// Strings.
JSStringRef JSStringCreateWithUTF8CString(const char* string);
JSStringRef JSStringCreateWithCharacters(const JSChar* chars, size_t numChars);
void JSStringRelease(JSStringRef string);
size_t JSStringGetLength(JSStringRef string);
const JSChar* JSStringGetCharactersPtr(JSStringRef string);
size_t JSStringGetMaximumUTF8CStringSize(JSStringRef string);
size_t JSStringGetUTF8CString(JSStringRef string, char* buffer, size_t bufferSize);

// Values.
bool JSValueIsUndefined(JSContextRef ctx, JSValueRef value);
bool JSValueIsNull(JSContextRef ctx, JSValueRef value);
bool JSValueIsBoolean(JSContextRef ctx, JSValueRef value);
bool JSValueIsNumber(JSContextRef ctx, JSValueRef value);
bool JSValueIsString(JSContextRef ctx, JSValueRef value);
bool JSValueIsObject(JSContextRef ctx, JSValueRef value);
bool JSValueIsObjectOfClass(JSContextRef ctx, JSValueRef value, JSClassRef jsClass);
JSValueRef JSValueMakeUndefined(JSContextRef ctx);
JSValueRef JSValueMakeNull(JSContextRef ctx);
JSValueRef JSValueMakeBoolean(JSContextRef ctx, bool boolean);
JSValueRef JSValueMakeNumber(JSContextRef ctx, double number);
JSValueRef JSValueMakeString(JSContextRef ctx, JSStringRef string);
bool JSValueToBoolean(JSContextRef ctx, JSValueRef value);
double JSValueToNumber(JSContextRef ctx, JSValueRef value, JSValueRef* exception);
JSStringRef JSValueToStringCopy(JSContextRef ctx, JSValueRef value, JSValueRef* exception);
JSObjectRef JSValueToObject(JSContextRef ctx, JSValueRef value, JSValueRef* exception);
void JSValueProtect(JSContextRef ctx, JSValueRef value);
void JSValueUnprotect(JSContextRef ctx, JSValueRef value);

// Objects and classes.
JSClassRef JSClassCreate(const JSClassDefinition* definition);
void JSClassRelease(JSClassRef jsClass);
JSObjectRef JSObjectMake(JSContextRef ctx, JSClassRef jsClass, void* data);
JSObjectRef JSObjectMakeFunctionWithCallback(JSContextRef ctx, JSStringRef name,
                                             JSObjectCallAsFunctionCallback callAsFunction);
void* JSObjectGetPrivate(JSObjectRef object);
JSValueRef JSObjectGetProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                               JSValueRef* exception);
void JSObjectSetProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                         JSValueRef value, JSPropertyAttributes attributes, JSValueRef* exception);
bool JSObjectIsFunction(JSContextRef ctx, JSObjectRef object);
JSValueRef JSObjectCallAsFunction(JSContextRef ctx, JSObjectRef object, JSObjectRef thisObject,
                                  size_t argumentCount, const JSValueRef arguments[],
                                  JSValueRef* exception);

// Trawler's own addition, for native code that tells the page something and must not wait
// for it. Calls the function that the object's property holds, with the object as this,
// as a one-way message: JavaScriptCore in this process calls it at once; a page in another
// process gets the posted calls in the order they were made, and an exception that a call
// raises reaches onException (in the call's context) once the page reports it. A property
// that holds no function makes no call and no exception. True when the call was made and
// raised no exception (in this process), or was sent on its way (to another process).
using JSPostedCallExceptionCallback = void (*)(JSContextRef ctx, JSValueRef exception);
bool JSObjectPostCallToProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                                size_t argumentCount, const JSValueRef arguments[],
                                JSPostedCallExceptionCallback onException);

}  // namespace js

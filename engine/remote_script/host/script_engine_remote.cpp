// The script engine interface over a page agent in another process. Strings and classes
// stay here; values made here travel inline in the request that first uses them; type
// tests, private data and class tests answer here from what the agent said of a value
// when it handed it out. Posted calls go one way, batched. Everything else is one request
// to the agent of the value's context, waiting for its answer.

#include "bridge/script_engine.h"
#include "engine/remote_script/host/remote_session.h"
#include "engine/remote_script/protocol/text.h"

#include <cmath>
#include <optional>

namespace js {
namespace {

using remote_script::ClassRecord;
using remote_script::ContextRecord;
using remote_script::Operation;
using remote_script::Reader;
using remote_script::Session;
using remote_script::StringRecord;
using remote_script::Utf8Of;
using remote_script::ValueRecord;
using remote_script::WireValue;
using remote_script::Writer;
using Tag = WireValue::Tag;

StringRecord* RecordOf(JSStringRef string) { return reinterpret_cast<StringRecord*>(string); }
ClassRecord* RecordOf(JSClassRef jsClass) { return reinterpret_cast<ClassRecord*>(jsClass); }

JSStringRef NewString(std::u16string text) {
  Session::Get().StringMade();
  return reinterpret_cast<JSStringRef>(new StringRecord{1, std::move(text)});
}

std::u16string TextOf(JSStringRef string) { return string ? RecordOf(string)->text : u""; }

JSType TypeOf(const ValueRecord& record) {
  switch (record.wire.tag) {
    case Tag::kNull:
      return kJSTypeNull;
    case Tag::kBoolean:
      return kJSTypeBoolean;
    case Tag::kNumber:
      return kJSTypeNumber;
    case Tag::kString:
      return kJSTypeString;
    case Tag::kHandle:
      return static_cast<JSType>(record.wire.type);
    default:
      return kJSTypeUndefined;
  }
}

bool HasType(JSValueRef value, JSType type) {
  const ValueRecord* record = Session::Get().Handles().FindValue(value);
  return record && TypeOf(*record) == type;
}

JSValueRef Make(JSContextRef ctx, WireValue wire) {
  return ctx ? Session::Get().MakeValue(ctx, wire) : nullptr;
}

void Throw(JSContextRef ctx, JSValueRef* exception, const char* message) {
  if (exception && ctx) *exception = Session::Get().Failure(ctx, message);
}

// The record of the context a request goes to; none (with the exception set) when the
// context is gone.
std::optional<ContextRecord> Target(JSContextRef ctx, JSValueRef* exception) {
  const ContextRecord* record = Session::Get().Handles().FindContext(ctx);
  if (record) return *record;
  Throw(ctx, exception, "Error: the script context is gone");
  return std::nullopt;
}

// Writes the value for the context's agent; false (with the exception set) when it is
// stale or another page's.
bool Put(Writer& writer, const ContextRecord& context, JSValueRef value, JSValueRef* exception) {
  WireValue wire;
  if (!Session::Get().Handles().Encode(value, context.link, wire)) {
    Throw(remote_script::HandleOf<JSContextRef>(context.handle), exception,
          "Error: the script handle is no longer valid");
    return false;
  }
  writer.Value(wire);
  return true;
}

// The value an answer holds.
JSValueRef AdoptAnswer(const ContextRecord& context, const std::string& answer,
                       JSValueRef* exception) {
  const auto ctx = remote_script::HandleOf<JSContextRef>(context.handle);
  Reader reader(answer);
  WireValue wire;
  if (!reader.Value(wire) || !reader.Done()) {
    Throw(ctx, exception, "Error: the page's answer does not decode");
    return nullptr;
  }
  return Session::Get().Adopt(context.link, ctx, wire);
}

// A request whose answer is a value.
JSValueRef AskValue(const ContextRecord& context, Operation operation, const std::string& arguments,
                    JSValueRef* exception) {
  const std::optional<std::string> answer =
      Session::Get().Ask(context, operation, arguments, exception);
  return answer ? AdoptAnswer(context, *answer, exception) : nullptr;
}

// The arguments of a request about one value: the agent's context, then the value.
std::optional<std::string> AboutValue(const ContextRecord& context, JSValueRef value,
                                      JSValueRef* exception) {
  std::string arguments;
  Writer writer(arguments);
  writer.U64(context.agentContext);
  if (!Put(writer, context, value, exception)) return std::nullopt;
  return arguments;
}

// The page's own conversion of the value: the answer after the status, or none.
std::optional<std::string> Convert(JSContextRef ctx, JSValueRef value, Operation operation,
                                   JSValueRef* exception) {
  const std::optional<ContextRecord> context = Target(ctx, exception);
  const std::optional<std::string> arguments =
      context ? AboutValue(*context, value, exception) : std::nullopt;
  if (!arguments) return std::nullopt;
  return Session::Get().Ask(*context, operation, *arguments, exception);
}

bool SupportedClass(const JSClassDefinition& definition) {
  // What crosses to the agent: a name and static functions. Anything else is refused.
  return !definition.parentClass && (!definition.staticValues || !definition.staticValues->name) &&
         !definition.initialize && !definition.finalize && !definition.hasProperty &&
         !definition.getProperty && !definition.setProperty && !definition.deleteProperty &&
         !definition.getPropertyNames && !definition.callAsFunction &&
         !definition.callAsConstructor && !definition.hasInstance && !definition.convertToType;
}

}  // namespace

JSGlobalContextRef JSGlobalContextCreate(JSClassRef globalObjectClass) {
  Session& session = Session::Get();
  remote_script::AgentLink* link = session.Links().Newest();
  if (globalObjectClass || !link) return nullptr;
  ++session.statistics.requests;
  std::string reply;
  if (link->Call(Operation::kCreateContext, std::string(), reply) !=
      remote_script::Endpoint::CallResult::kReplied) {
    return nullptr;
  }
  Reader reader(reply);
  uint8_t status = 1;
  uint64_t agentContext = 0;
  WireValue global;
  if (!reader.U8(status) || status != 0 || !reader.U64(agentContext) || !reader.Value(global) ||
      !reader.Done()) {
    return nullptr;
  }
  return session.Handles().AddContext(link->Id(), agentContext, global, 0);
}

void JSGlobalContextRelease(JSGlobalContextRef ctx) {
  Session& session = Session::Get();
  const ContextRecord* record = session.Handles().FindContext(ctx);
  if (!record) return;
  std::string arguments;
  Writer(arguments).U64(record->agentContext);
  if (remote_script::AgentLink* link = session.Links().Find(record->link); link && link->IsOpen()) {
    link->Notify(Operation::kReleaseContext, arguments);
  }
  session.Handles().DropContext(ctx);
}

JSObjectRef JSContextGetGlobalObject(JSContextRef ctx) {
  const ContextRecord* record = Session::Get().Handles().FindContext(ctx);
  return record ? record->global : nullptr;
}

JSValueRef JSEvaluateScript(JSContextRef ctx, JSStringRef script, JSObjectRef thisObject,
                            JSStringRef sourceURL, int startingLineNumber, JSValueRef* exception) {
  const std::optional<ContextRecord> context = Target(ctx, exception);
  if (!context) return nullptr;
  std::string arguments;
  Writer writer(arguments);
  writer.U64(context->agentContext).String(TextOf(script));
  if (!Put(writer, *context, thisObject, exception)) return nullptr;
  writer.String(TextOf(sourceURL)).U32(static_cast<uint32_t>(std::max(startingLineNumber, 0)));
  return AskValue(*context, Operation::kEvaluate, arguments, exception);
}

JSStringRef JSStringCreateWithUTF8CString(const char* string) {
  // As JavaScriptCore does, text that is not UTF-8 gives the empty string.
  std::u16string text;
  if (string) remote_script::Utf16Of(string, text);
  return NewString(std::move(text));
}

JSStringRef JSStringCreateWithCharacters(const JSChar* chars, size_t numChars) {
  return NewString(chars ? std::u16string(chars, numChars) : std::u16string());
}

void JSStringRelease(JSStringRef string) {
  if (!string || --RecordOf(string)->references > 0) return;
  Session::Get().StringReleased();
  delete RecordOf(string);
}

size_t JSStringGetLength(JSStringRef string) { return string ? RecordOf(string)->text.size() : 0; }

const JSChar* JSStringGetCharactersPtr(JSStringRef string) {
  return string ? RecordOf(string)->text.data() : nullptr;
}

size_t JSStringGetMaximumUTF8CStringSize(JSStringRef string) {
  return JSStringGetLength(string) * 3 + 1;
}

size_t JSStringGetUTF8CString(JSStringRef string, char* buffer, size_t bufferSize) {
  if (!string || !buffer || bufferSize == 0) return 0;
  const std::string utf8 = Utf8Of(RecordOf(string)->text);
  // Only whole characters fit.
  size_t count = std::min(utf8.size(), bufferSize - 1);
  while (count < utf8.size() && count > 0 && (utf8[count] & 0xC0) == 0x80) --count;
  utf8.copy(buffer, count);
  buffer[count] = '\0';
  return count + 1;
}

bool JSValueIsUndefined(JSContextRef, JSValueRef value) { return HasType(value, kJSTypeUndefined); }
bool JSValueIsNull(JSContextRef, JSValueRef value) { return HasType(value, kJSTypeNull); }
bool JSValueIsBoolean(JSContextRef, JSValueRef value) { return HasType(value, kJSTypeBoolean); }
bool JSValueIsNumber(JSContextRef, JSValueRef value) { return HasType(value, kJSTypeNumber); }
bool JSValueIsString(JSContextRef, JSValueRef value) { return HasType(value, kJSTypeString); }
bool JSValueIsObject(JSContextRef, JSValueRef value) { return HasType(value, kJSTypeObject); }

bool JSValueIsObjectOfClass(JSContextRef, JSValueRef value, JSClassRef jsClass) {
  const ValueRecord* record = Session::Get().Handles().FindValue(value);
  return record && jsClass && record->wire.tag == Tag::kHandle &&
         record->wire.classId == RecordOf(jsClass)->id;
}

JSValueRef JSValueMakeUndefined(JSContextRef ctx) { return Make(ctx, WireValue()); }

JSValueRef JSValueMakeNull(JSContextRef ctx) {
  WireValue wire;
  wire.tag = Tag::kNull;
  return Make(ctx, wire);
}

JSValueRef JSValueMakeBoolean(JSContextRef ctx, bool boolean) {
  WireValue wire;
  wire.tag = Tag::kBoolean;
  wire.boolean = boolean;
  return Make(ctx, wire);
}

JSValueRef JSValueMakeNumber(JSContextRef ctx, double number) {
  WireValue wire;
  wire.tag = Tag::kNumber;
  wire.number = number;
  return Make(ctx, wire);
}

JSValueRef JSValueMakeString(JSContextRef ctx, JSStringRef string) {
  WireValue wire;
  wire.tag = Tag::kString;
  wire.string = TextOf(string);
  return Make(ctx, wire);
}

bool JSValueToBoolean(JSContextRef, JSValueRef value) {
  const ValueRecord* record = Session::Get().Handles().FindValue(value);
  if (!record) return false;
  switch (record->wire.tag) {
    case Tag::kBoolean:
      return record->wire.boolean;
    case Tag::kNumber:
      return record->wire.number != 0 && !std::isnan(record->wire.number);
    case Tag::kString:
      return !record->wire.string.empty();
    case Tag::kHandle:
      return true;
    default:
      return false;
  }
}

double JSValueToNumber(JSContextRef ctx, JSValueRef value, JSValueRef* exception) {
  const ValueRecord* record = Session::Get().Handles().FindValue(value);
  if (record) {
    switch (record->wire.tag) {
      case Tag::kNumber:
        return record->wire.number;
      case Tag::kBoolean:
        return record->wire.boolean ? 1 : 0;
      case Tag::kNull:
        return 0;
      case Tag::kUndefined:
        return NAN;
      default:
        break;
    }
  }
  const std::optional<std::string> answer = Convert(ctx, value, Operation::kToNumber, exception);
  double number = NAN;
  if (answer) Reader(*answer).F64(number);
  return number;
}

JSStringRef JSValueToStringCopy(JSContextRef ctx, JSValueRef value, JSValueRef* exception) {
  const ValueRecord* record = Session::Get().Handles().FindValue(value);
  if (record) {
    switch (record->wire.tag) {
      case Tag::kUndefined:
        return NewString(u"undefined");
      case Tag::kNull:
        return NewString(u"null");
      case Tag::kBoolean:
        return NewString(record->wire.boolean ? u"true" : u"false");
      case Tag::kString:
        return NewString(record->wire.string);
      default:
        break;  // numbers and objects: the page's own conversion
    }
  }
  const std::optional<std::string> answer = Convert(ctx, value, Operation::kToString, exception);
  if (!answer) return nullptr;
  std::u16string text;
  Reader reader(*answer);
  return reader.String(text) && reader.Done() ? NewString(std::move(text)) : nullptr;
}

JSObjectRef JSValueToObject(JSContextRef ctx, JSValueRef value, JSValueRef* exception) {
  if (HasType(value, kJSTypeObject)) return const_cast<JSObjectRef>(value);
  const std::optional<std::string> answer = Convert(ctx, value, Operation::kToObject, exception);
  // The context may have gone while the page answered.
  const ContextRecord* context = Session::Get().Handles().FindContext(ctx);
  return answer && context ? const_cast<JSObjectRef>(AdoptAnswer(*context, *answer, exception))
                           : nullptr;
}

void JSValueProtect(JSContextRef, JSValueRef value) { Session::Get().Protect(value, 1); }
void JSValueUnprotect(JSContextRef, JSValueRef value) { Session::Get().Protect(value, -1); }

JSClassRef JSClassCreate(const JSClassDefinition* definition) {
  if (!definition || !SupportedClass(*definition)) return nullptr;
  ClassRecord* record =
      Session::Get().Natives().AddClass(definition->className ? definition->className : "");
  for (const JSStaticFunction* function = definition->staticFunctions; function && function->name;
       ++function) {
    record->functions.emplace_back(function->name, function->callAsFunction);
  }
  return reinterpret_cast<JSClassRef>(record);
}

void JSClassRelease(JSClassRef jsClass) {
  if (!jsClass || --RecordOf(jsClass)->references > 0) return;
  Session::Get().Natives().RemoveClass(RecordOf(jsClass)->id);
  delete RecordOf(jsClass);
}

JSObjectRef JSObjectMake(JSContextRef ctx, JSClassRef jsClass, void* data) {
  const std::optional<ContextRecord> context = Target(ctx, nullptr);
  if (!context) return nullptr;
  std::string arguments;
  Writer writer(arguments);
  writer.U64(context->agentContext);
  if (jsClass) {
    const ClassRecord& record = *RecordOf(jsClass);
    writer.U32(record.id).String(std::u16string(record.name.begin(), record.name.end()));
    writer.U32(static_cast<uint32_t>(record.functions.size()));
    for (const auto& [name, callback] : record.functions) {
      writer.String(std::u16string(name.begin(), name.end()));
    }
  } else {
    writer.U32(0).String(u"").U32(0);
  }
  const JSValueRef object = AskValue(*context, Operation::kMakeObject, arguments, nullptr);
  const ValueRecord* record = Session::Get().Handles().FindValue(object);
  if (!record || TypeOf(*record) != kJSTypeObject) return nullptr;
  // Private data stays here, under the object's lasting number.
  if (jsClass && data) Session::Get().Handles().SetPrivate(record->link, record->wire.handle, data);
  return const_cast<JSObjectRef>(object);
}

JSObjectRef JSObjectMakeFunctionWithCallback(JSContextRef ctx, JSStringRef name,
                                             JSObjectCallAsFunctionCallback callAsFunction) {
  const std::optional<ContextRecord> context = Target(ctx, nullptr);
  if (!context || !callAsFunction) return nullptr;
  std::string arguments;
  Writer(arguments)
      .U64(context->agentContext)
      .String(TextOf(name))
      .U32(Session::Get().Natives().callbacks.NumberOf(callAsFunction));
  return const_cast<JSObjectRef>(AskValue(*context, Operation::kMakeFunction, arguments, nullptr));
}

void* JSObjectGetPrivate(JSObjectRef object) {
  Session& session = Session::Get();
  const ValueRecord* record = session.Handles().FindValue(object);
  if (!record || record->wire.tag != Tag::kHandle) return nullptr;
  return session.Handles().Private(record->link, record->wire.handle);
}

JSValueRef JSObjectGetProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                               JSValueRef* exception) {
  const std::optional<ContextRecord> context = Target(ctx, exception);
  std::optional<std::string> arguments =
      context ? AboutValue(*context, object, exception) : std::nullopt;
  if (!arguments) return nullptr;
  Writer(*arguments).String(TextOf(propertyName));
  return AskValue(*context, Operation::kGetProperty, *arguments, exception);
}

void JSObjectSetProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                         JSValueRef value, JSPropertyAttributes attributes, JSValueRef* exception) {
  const std::optional<ContextRecord> context = Target(ctx, exception);
  std::optional<std::string> arguments =
      context ? AboutValue(*context, object, exception) : std::nullopt;
  if (!arguments) return;
  Writer writer(*arguments);
  writer.String(TextOf(propertyName));
  if (!Put(writer, *context, value, exception)) return;
  writer.U32(attributes);
  Session::Get().Ask(*context, Operation::kSetProperty, *arguments, exception);
}

bool JSObjectIsFunction(JSContextRef, JSObjectRef object) {
  const ValueRecord* record = Session::Get().Handles().FindValue(object);
  return record && record->wire.tag == Tag::kHandle && record->wire.isFunction;
}

JSValueRef JSObjectCallAsFunction(JSContextRef ctx, JSObjectRef object, JSObjectRef thisObject,
                                  size_t argumentCount, const JSValueRef arguments[],
                                  JSValueRef* exception) {
  const std::optional<ContextRecord> context = Target(ctx, exception);
  std::optional<std::string> request =
      context ? AboutValue(*context, object, exception) : std::nullopt;
  if (!request) return nullptr;
  Writer writer(*request);
  if (!Put(writer, *context, thisObject, exception)) return nullptr;
  writer.U32(static_cast<uint32_t>(argumentCount));
  for (size_t i = 0; i < argumentCount; ++i) {
    if (!Put(writer, *context, arguments[i], exception)) return nullptr;
  }
  return AskValue(*context, Operation::kCallFunction, *request, exception);
}

bool JSObjectPostCallToProperty(JSContextRef ctx, JSObjectRef object, JSStringRef propertyName,
                                size_t argumentCount, const JSValueRef arguments[],
                                JSPostedCallExceptionCallback onException) {
  Session& session = Session::Get();
  const std::optional<ContextRecord> context = Target(ctx, nullptr);
  remote_script::AgentLink* link = context ? session.Links().Find(context->link) : nullptr;
  if (!link || !propertyName) return false;
  std::string call;
  Writer writer(call);
  writer.U64(context->agentContext);
  if (!Put(writer, *context, object, nullptr)) return false;
  writer.String(TextOf(propertyName)).U32(session.Natives().reporters.NumberOf(onException));
  writer.U32(static_cast<uint32_t>(argumentCount));
  for (size_t i = 0; i < argumentCount; ++i) {
    if (!Put(writer, *context, arguments[i], nullptr)) return false;
  }
  return link->PostCall(call);
}

}  // namespace js

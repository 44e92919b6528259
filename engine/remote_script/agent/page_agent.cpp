#include "engine/remote_script/agent/page_agent.h"

#include "engine/remote_script/agent/agent_state.h"
#include "engine/remote_script/agent/forward_classes.h"
#include "engine/remote_script/agent/script_string.h"
#include "engine/remote_script/protocol/text.h"

#include <string>
#include <vector>

namespace page_agent {
namespace {

using remote_script::Operation;
using remote_script::Reader;
using remote_script::Status;
using remote_script::Utf8Of;
using remote_script::WireValue;
using remote_script::Writer;

WireValue Message(const char* text) {
  WireValue value;
  value.tag = WireValue::Tag::kString;
  value.string.assign(text, text + std::char_traits<char>::length(text));
  return value;
}

void Failure(std::string& reply, const char* message) {
  Writer(reply).U8(static_cast<uint8_t>(Status::kException)).Value(Message(message));
}

// Runs one request in a context: reads its arguments, does the work and writes the reply.
// Everything a request names must exist, or it is answered as a script exception.
class Request {
 public:
  Request(AgentState& state, const std::shared_ptr<AgentState>& shared, Reader& reader,
          std::string& reply)
      : m_state(state), m_shared(shared), m_reader(reader), m_reply(reply) {}

  // Reads the context's number; false when the request does not decode. A context that is
  // gone is answered here, and Ready() then says so.
  bool Context() {
    if (!m_reader.U64(m_contextId)) return false;
    m_context = m_state.FindContext(m_contextId);
    if (!m_context) Failure(m_reply, "Error: the script context is gone");
    return true;
  }
  bool Ready() const { return m_context != nullptr; }
  JSGlobalContextRef Ctx() const { return m_context->context; }
  uint64_t ContextId() const { return m_contextId; }

  // The value a wire value names; false (with the failure answered) when it is gone.
  bool Resolve(const WireValue& wire, JSValueRef& value) {
    if (m_state.Resolve(m_contextId, Ctx(), wire, value)) return true;
    Failure(m_reply, "Error: the script handle is no longer valid");
    return false;
  }
  bool ResolveObject(const WireValue& wire, JSObjectRef& object) {
    JSValueRef value = nullptr;
    if (!Resolve(wire, value)) return false;
    if (!JSValueIsObject(Ctx(), value)) {
      Failure(m_reply, "TypeError: not an object");
      return false;
    }
    object = const_cast<JSObjectRef>(value);
    return true;
  }
  // This object of a call: none for undefined or null.
  bool ResolveThis(const WireValue& wire, JSObjectRef& object) {
    object = nullptr;
    if (wire.tag == WireValue::Tag::kUndefined || wire.tag == WireValue::Tag::kNull) return true;
    return ResolveObject(wire, object);
  }

  void Answer(JSValueRef value, JSValueRef exception) {
    Writer writer(m_reply);
    if (exception) {
      writer.U8(static_cast<uint8_t>(Status::kException))
          .Value(m_state.Describe(m_contextId, Ctx(), exception));
    } else {
      writer.U8(static_cast<uint8_t>(Status::kOk))
          .Value(m_state.Describe(m_contextId, Ctx(), value));
    }
  }
  Writer Ok() { return Writer(m_reply).U8(static_cast<uint8_t>(Status::kOk)); }

  bool Evaluate() {
    std::u16string script, sourceUrl;
    WireValue thisWire;
    uint32_t line = 0;
    if (!Context() || !m_reader.String(script) || !m_reader.Value(thisWire) ||
        !m_reader.String(sourceUrl) || !m_reader.U32(line) || !m_reader.Done()) {
      return false;
    }
    JSObjectRef thisObject = nullptr;
    if (!Ready() || !ResolveThis(thisWire, thisObject)) return true;
    ScriptString source(script);
    ScriptString url(sourceUrl);
    JSValueRef exception = nullptr;
    const JSValueRef value =
        JSEvaluateScript(Ctx(), source.Get(), thisObject, sourceUrl.empty() ? nullptr : url.Get(),
                         static_cast<int>(line), &exception);
    Answer(value, exception);
    return true;
  }

  bool GetProperty() {
    WireValue objectWire;
    std::u16string name;
    if (!Context() || !m_reader.Value(objectWire) || !m_reader.String(name) || !m_reader.Done()) {
      return false;
    }
    JSObjectRef object = nullptr;
    if (!Ready() || !ResolveObject(objectWire, object)) return true;
    ScriptString property(name);
    JSValueRef exception = nullptr;
    const JSValueRef value = JSObjectGetProperty(Ctx(), object, property.Get(), &exception);
    Answer(value, exception);
    return true;
  }

  bool SetProperty() {
    WireValue objectWire, valueWire;
    std::u16string name;
    uint32_t attributes = 0;
    if (!Context() || !m_reader.Value(objectWire) || !m_reader.String(name) ||
        !m_reader.Value(valueWire) || !m_reader.U32(attributes) || !m_reader.Done()) {
      return false;
    }
    JSObjectRef object = nullptr;
    JSValueRef value = nullptr;
    if (!Ready() || !ResolveObject(objectWire, object) || !Resolve(valueWire, value)) return true;
    ScriptString property(name);
    JSValueRef exception = nullptr;
    JSObjectSetProperty(Ctx(), object, property.Get(), value, attributes, &exception);
    Answer(JSValueMakeUndefined(Ctx()), exception);
    return true;
  }

  bool CallFunction() {
    WireValue functionWire, thisWire;
    std::vector<WireValue> argumentWires;
    if (!Context() || !m_reader.Value(functionWire) || !m_reader.Value(thisWire) ||
        !m_reader.Values(argumentWires) || !m_reader.Done()) {
      return false;
    }
    JSObjectRef function = nullptr, thisObject = nullptr;
    if (!Ready() || !ResolveObject(functionWire, function) || !ResolveThis(thisWire, thisObject)) {
      return true;
    }
    std::vector<JSValueRef> arguments(argumentWires.size());
    for (size_t i = 0; i < argumentWires.size(); ++i) {
      if (!Resolve(argumentWires[i], arguments[i])) return true;
    }
    JSValueRef exception = nullptr;
    const JSValueRef value =
        JSObjectCallAsFunction(Ctx(), function, thisObject, arguments.size(),
                               arguments.empty() ? nullptr : arguments.data(), &exception);
    Answer(value, exception);
    return true;
  }

  // ToString, ToNumber and ToObject: one value in, its conversion out.
  bool Convert(Operation operation) {
    WireValue wire;
    if (!Context() || !m_reader.Value(wire) || !m_reader.Done()) return false;
    JSValueRef value = nullptr;
    if (!Ready() || !Resolve(wire, value)) return true;
    JSValueRef exception = nullptr;
    if (operation == Operation::kToString) {
      const ScriptString string(JSValueToStringCopy(Ctx(), value, &exception));
      if (string.Get()) {
        Ok().String(TextOf(string.Get()));
        return true;
      }
    } else if (operation == Operation::kToNumber) {
      const double number = JSValueToNumber(Ctx(), value, &exception);
      if (!exception) {
        Ok().F64(number);
        return true;
      }
    } else {
      const JSObjectRef object = JSValueToObject(Ctx(), value, &exception);
      if (!exception) {
        Answer(object, nullptr);
        return true;
      }
    }
    Answer(nullptr, exception ? exception : JSValueMakeUndefined(Ctx()));
    return true;
  }

  bool MakeObject() {
    uint32_t uiClass = 0, count = 0;
    std::u16string className;
    if (!Context() || !m_reader.U32(uiClass) || !m_reader.String(className) ||
        !m_reader.U32(count)) {
      return false;
    }
    std::vector<std::string> functions;
    for (uint32_t i = 0; i < count; ++i) {
      std::u16string name;
      if (!m_reader.String(name)) return false;
      functions.push_back(Utf8Of(name));
    }
    if (!m_reader.Done()) return false;
    if (!Ready()) return true;
    if (uiClass == 0) {
      Answer(JSObjectMake(Ctx(), nullptr, nullptr), nullptr);
      return true;
    }
    const JSClassRef jsClass = ForwardClass(m_state, uiClass, Utf8Of(className), functions);
    if (!jsClass) {
      Failure(m_reply, "Error: too many native functions");
      return true;
    }
    Answer(MakeInstance(m_shared, m_contextId, Ctx(), jsClass, uiClass, 0), nullptr);
    return true;
  }

  bool MakeFunction() {
    std::u16string name;
    uint32_t callback = 0;
    if (!Context() || !m_reader.String(name) || !m_reader.U32(callback) || !m_reader.Done()) {
      return false;
    }
    if (!Ready()) return true;
    Answer(MakeInstance(m_shared, m_contextId, Ctx(), CallbackClass(m_state), 0, callback),
           nullptr);
    return true;
  }

 private:
  AgentState& m_state;
  const std::shared_ptr<AgentState>& m_shared;
  Reader& m_reader;
  std::string& m_reply;
  uint64_t m_contextId = 0;
  const AgentState::Context* m_context = nullptr;
};

}  // namespace

PageAgent::PageAgent(int socket)
    : Endpoint(socket), m_state(std::make_shared<AgentState>(this, &m_liveHandles)) {}

PageAgent::~PageAgent() {
  ReleaseForwardClasses(*m_state);
  while (!m_state->contexts.empty()) m_state->DropContext(m_state->contexts.begin()->first);
}

bool PageAgent::Hello(const std::string& token) {
  std::string arguments, reply;
  Writer(arguments)
      .String(std::u16string(token.begin(), token.end()))
      .U32(remote_script::kProtocolVersion);
  if (Call(Operation::kHello, arguments, reply) != CallResult::kReplied) return false;
  Reader reader(reply);
  uint8_t status = 0;
  uint32_t version = 0;
  return reader.U8(status) && reader.U32(version) && reader.Done() &&
         status == static_cast<uint8_t>(Status::kOk) && version == remote_script::kProtocolVersion;
}

void PageAgent::WindowObjectCleared(uint64_t page, uint64_t frame, bool mainFrame,
                                    JSGlobalContextRef context) {
  if (!context || !IsOpen()) return;
  const auto earlier = m_state->frameContexts.find(frame);
  if (earlier != m_state->frameContexts.end()) {
    const uint64_t gone = earlier->second;
    m_state->DropContext(gone);
    std::string arguments;
    Writer(arguments).U64(gone);
    Notify(Operation::kContextGone, arguments);
  }
  const uint64_t id = m_state->AddContext(context, frame);
  std::string arguments, reply;
  Writer(arguments)
      .U64(page)
      .U64(frame)
      .U8(mainFrame ? 1 : 0)
      .U64(id)
      .Value(m_state->Describe(id, context, JSContextGetGlobalObject(context)));
  Call(Operation::kWindowObjectCleared, arguments, reply);
}

JSValueRef PageAgent::Forward(Operation operation, uint32_t target, uint32_t index,
                              JSContextRef ctx, JSObjectRef function, JSObjectRef thisObject,
                              size_t argumentCount, const JSValueRef arguments[],
                              JSValueRef* exception) {
  const uint64_t context = m_state->ContextIdOf(ctx);
  if (!context || !IsOpen()) return JSValueMakeUndefined(ctx);
  std::string request;
  Writer writer(request);
  writer.U64(context).U32(target).U32(index);
  writer.Value(m_state->Describe(context, ctx, function));
  writer.Value(m_state->Describe(context, ctx, thisObject));
  std::vector<WireValue> values;
  for (size_t i = 0; i < argumentCount; ++i) {
    values.push_back(m_state->Describe(context, ctx, arguments[i]));
  }
  writer.Values(values);
  std::string reply;
  const CallResult result = Call(operation, request, reply);
  Reader reader(reply);
  uint8_t status = 0;
  WireValue wire;
  JSValueRef value = nullptr;
  const char* failure = nullptr;
  if (result != CallResult::kReplied) {
    failure = "Error: Trawler did not answer the call";
  } else if (!reader.U8(status) || !reader.Value(wire) || !reader.Done()) {
    failure = "Error: Trawler's answer does not decode";
  } else if (!m_state->Resolve(context, ctx, wire, value)) {
    failure = "Error: the script handle is no longer valid";
  }
  if (failure) {
    m_state->Resolve(context, ctx, Message(failure), value);
    status = static_cast<uint8_t>(Status::kException);
  }
  if (status == static_cast<uint8_t>(Status::kException)) {
    if (exception) *exception = value;
    return nullptr;
  }
  return value;
}

bool PageAgent::Serve(const remote_script::Frame& request, std::string& reply) {
  Reader reader(request.payload);
  Request work(*m_state, m_state, reader, reply);
  switch (request.operation) {
    case Operation::kCreateContext: {
      if (!reader.Done()) return false;
      const JSGlobalContextRef context = JSGlobalContextCreate(nullptr);
      const uint64_t id = m_state->AddContext(context, 0);
      JSGlobalContextRelease(context);
      Writer(reply)
          .U8(static_cast<uint8_t>(Status::kOk))
          .U64(id)
          .Value(m_state->Describe(id, context, JSContextGetGlobalObject(context)));
      return true;
    }
    case Operation::kEvaluate:
      return work.Evaluate();
    case Operation::kGetProperty:
      return work.GetProperty();
    case Operation::kSetProperty:
      return work.SetProperty();
    case Operation::kCallFunction:
      return work.CallFunction();
    case Operation::kToString:
    case Operation::kToNumber:
    case Operation::kToObject:
      return work.Convert(request.operation);
    case Operation::kMakeObject:
      return work.MakeObject();
    case Operation::kMakeFunction:
      return work.MakeFunction();
    default:
      return false;
  }
}

// One call Trawler posted: the function held by a property of an object, called with the
// object as this.
struct PageAgent::PostedCall {
  uint64_t context = 0;
  WireValue object;
  std::u16string name;
  uint32_t reporter = 0;
  std::vector<WireValue> arguments;
};

bool PageAgent::Notice(const remote_script::Frame& notice) {
  Reader reader(notice.payload);
  if (notice.operation == Operation::kPostCalls) return TakePostedCalls(reader);
  if (notice.operation == Operation::kReleaseContext) {
    uint64_t context = 0;
    if (!reader.U64(context) || !reader.Done()) return false;
    Defer([state = m_state, context] { state->DropContext(context); });
    return true;
  }
  if (notice.operation != Operation::kReleaseHandles) return false;
  uint32_t count = 0;
  if (!reader.U32(count) || count > reader.Remaining() / sizeof(uint64_t)) return false;
  std::vector<uint64_t> handles(count);
  for (uint64_t& handle : handles) {
    if (!reader.U64(handle)) return false;
  }
  if (!reader.Done()) return false;
  Defer([state = m_state, handles = std::move(handles)] {
    for (uint64_t handle : handles) state->Release(handle);
  });
  return true;
}

bool PageAgent::TakePostedCalls(Reader& reader) {
  uint32_t count = 0;
  // Every call takes more than a byte.
  if (!reader.U32(count) || count > reader.Remaining()) return false;
  std::vector<PostedCall> calls(count);
  for (PostedCall& call : calls) {
    if (!reader.U64(call.context) || !reader.Value(call.object) || !reader.String(call.name) ||
        !reader.U32(call.reporter) || !reader.Values(call.arguments)) {
      return false;
    }
  }
  if (!reader.Done()) return false;
  for (PostedCall& call : calls) {
    Defer([this, call = std::move(call)] { RunPostedCall(call); });
  }
  return true;
}

void PageAgent::Defer(std::function<void()> work) {
  m_deferred.push_back(std::move(work));
  if (Depth() == 0) RunDeferredWork();
}

void PageAgent::RunDeferredWork() {
  if (m_runningDeferred) return;
  m_runningDeferred = true;
  while (!m_deferred.empty() && Depth() == 0 && IsOpen()) {
    std::function<void()> work = std::move(m_deferred.front());
    m_deferred.pop_front();
    work();
  }
  m_runningDeferred = false;
}

void PageAgent::RunPostedCall(const PostedCall& call) {
  // A call into a page that went, or with values that went, is no call.
  const AgentState::Context* context = m_state->FindContext(call.context);
  JSValueRef object = nullptr;
  if (!context || !m_state->Resolve(call.context, context->context, call.object, object) ||
      !JSValueIsObject(context->context, object)) {
    return;
  }
  const JSGlobalContextRef ctx = context->context;
  std::vector<JSValueRef> arguments(call.arguments.size());
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (!m_state->Resolve(call.context, ctx, call.arguments[i], arguments[i])) return;
  }
  const JSObjectRef receiver = const_cast<JSObjectRef>(object);
  ScriptString name(call.name);
  JSValueRef exception = nullptr;
  const JSValueRef property = JSObjectGetProperty(ctx, receiver, name.Get(), &exception);
  if (!exception && property && JSValueIsObject(ctx, property)) {
    const JSObjectRef function = JSValueToObject(ctx, property, &exception);
    if (function && JSObjectIsFunction(ctx, function)) {
      JSObjectCallAsFunction(ctx, function, receiver, arguments.size(),
                             arguments.empty() ? nullptr : arguments.data(), &exception);
    }
  }
  if (!exception || !call.reporter) return;
  const ScriptString text(JSValueToStringCopy(ctx, exception, nullptr));
  std::string report;
  Writer(report)
      .U64(call.context)
      .U32(call.reporter)
      .String(text.Get() ? TextOf(text.Get()) : u"exception");
  Notify(Operation::kPostedCallFailed, report);
}

}  // namespace page_agent

#include "engine/remote_script/agent/agent_state.h"

#include "engine/remote_script/agent/script_string.h"

#include <vector>

namespace page_agent {

uint64_t AgentState::AddContext(JSGlobalContextRef context, uint64_t frame) {
  JSGlobalContextRetain(context);
  const uint64_t id = NextId();
  const JSObjectRef global = JSContextGetGlobalObject(context);
  const uint64_t globalId = NextId();
  contexts[id] = {context, global, globalId, frame};
  contextIds[context] = id;
  handles[globalId] = {global, id, 0, true};
  if (frame) frameContexts[frame] = id;
  return id;
}

void AgentState::DropContext(uint64_t id) {
  const auto found = contexts.find(id);
  if (found == contexts.end()) return;
  const Context context = found->second;
  std::vector<uint64_t> gone;
  for (const auto& [handle, entry] : handles) {
    if (entry.context == id) gone.push_back(handle);
  }
  for (uint64_t handle : gone) {
    const Handle entry = handles[handle];
    handles.erase(handle);
    if (!entry.stable) {
      JSValueUnprotect(context.context, entry.value);
      --*live;
    }
  }
  contexts.erase(found);
  contextIds.erase(context.context);
  if (context.frame) frameContexts.erase(context.frame);
  // Collection may run here and finalize objects; nothing above is in use any more.
  JSGlobalContextRelease(context.context);
}

const AgentState::Context* AgentState::FindContext(uint64_t id) const {
  const auto found = contexts.find(id);
  return found == contexts.end() ? nullptr : &found->second;
}

uint64_t AgentState::ContextIdOf(JSContextRef context) const {
  const auto found = contextIds.find(JSContextGetGlobalContext(context));
  return found == contextIds.end() ? 0 : found->second;
}

void AgentState::AddStable(uint64_t id, uint64_t context, JSObjectRef object) {
  handles[id] = {object, context, 0, true};
}

remote_script::WireValue AgentState::Describe(uint64_t context, JSContextRef ctx,
                                              JSValueRef value) {
  using Tag = remote_script::WireValue::Tag;
  remote_script::WireValue wire;
  const JSType type = value ? JSValueGetType(ctx, value) : kJSTypeUndefined;
  switch (type) {
    case kJSTypeUndefined:
      return wire;
    case kJSTypeNull:
      wire.tag = Tag::kNull;
      return wire;
    case kJSTypeBoolean:
      wire.tag = Tag::kBoolean;
      wire.boolean = JSValueToBoolean(ctx, value);
      return wire;
    case kJSTypeNumber:
      wire.tag = Tag::kNumber;
      wire.number = JSValueToNumber(ctx, value, nullptr);
      return wire;
    case kJSTypeString: {
      wire.tag = Tag::kString;
      const ScriptString string(JSValueToStringCopy(ctx, value, nullptr));
      wire.string = TextOf(string.Get());
      return wire;
    }
    default:
      break;
  }
  wire.tag = Tag::kHandle;
  wire.type = static_cast<uint8_t>(type);
  if (type == kJSTypeObject) {
    const JSObjectRef object = const_cast<JSObjectRef>(value);
    wire.isFunction = JSObjectIsFunction(ctx, object);
    const Context* owner = FindContext(context);
    if (owner && owner->global == object) {
      wire.handle = owner->globalId;
      wire.stable = true;
      return wire;
    }
    const bool ours = (callbackClass && JSValueIsObjectOfClass(ctx, value, callbackClass)) || [&] {
      for (const auto& [id, jsClass] : classes) {
        if (JSValueIsObjectOfClass(ctx, value, jsClass)) return true;
      }
      return false;
    }();
    if (ours) {
      const auto* instance = static_cast<const Instance*>(JSObjectGetPrivate(object));
      if (instance && handles.count(instance->id)) {
        wire.handle = instance->id;
        wire.classId = instance->uiClass;
        wire.stable = true;
        return wire;
      }
    }
  }
  wire.handle = NextId();
  JSValueProtect(ctx, value);
  ++*live;
  handles[wire.handle] = {value, context, 1, false};
  return wire;
}

bool AgentState::Resolve(uint64_t context, JSContextRef ctx, const remote_script::WireValue& wire,
                         JSValueRef& value) {
  using Tag = remote_script::WireValue::Tag;
  switch (wire.tag) {
    case Tag::kUndefined:
      value = JSValueMakeUndefined(ctx);
      return true;
    case Tag::kNull:
      value = JSValueMakeNull(ctx);
      return true;
    case Tag::kBoolean:
      value = JSValueMakeBoolean(ctx, wire.boolean);
      return true;
    case Tag::kNumber:
      value = JSValueMakeNumber(ctx, wire.number);
      return true;
    case Tag::kString: {
      const ScriptString string(wire.string);
      value = JSValueMakeString(ctx, string.Get());
      return true;
    }
    case Tag::kHandle:
    case Tag::kReference: {
      const auto found = handles.find(wire.handle);
      if (found == handles.end() || found->second.context != context) return false;
      value = found->second.value;
      return true;
    }
  }
  return false;
}

void AgentState::Release(uint64_t id) {
  const auto found = handles.find(id);
  if (found == handles.end() || found->second.stable) return;
  if (--found->second.count > 0) return;
  const Context* owner = FindContext(found->second.context);
  if (owner) JSValueUnprotect(owner->context, found->second.value);
  handles.erase(found);
  --*live;
}

}  // namespace page_agent

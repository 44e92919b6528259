#include "engine/remote_script/agent/forward_classes.h"

#include "engine/remote_script/agent/page_agent.h"

#include <array>
#include <mutex>
#include <utility>

namespace page_agent {
namespace {

using remote_script::Operation;

// JavaScriptCore tells a static function nothing of which one it is, so each is one of a
// fixed set of trampolines, and the slot of a trampoline says what it stands for.
constexpr size_t kSlots = 64;

struct Slot {
  AgentState* state = nullptr;
  uint32_t uiClass = 0;
  uint32_t index = 0;
};

std::mutex g_slotsMutex;
std::array<Slot, kSlots> g_slots;

template <size_t N>
JSValueRef StaticTrampoline(JSContextRef ctx, JSObjectRef function, JSObjectRef thisObject,
                            size_t argumentCount, const JSValueRef arguments[],
                            JSValueRef* exception) {
  Slot slot;
  {
    std::lock_guard<std::mutex> lock(g_slotsMutex);
    slot = g_slots[N];
  }
  if (!slot.state) return JSValueMakeUndefined(ctx);
  return slot.state->owner->Forward(Operation::kCallStatic, slot.uiClass, slot.index, ctx, function,
                                    thisObject, argumentCount, arguments, exception);
}

template <size_t... N>
constexpr std::array<JSObjectCallAsFunctionCallback, kSlots> Trampolines(
    std::index_sequence<N...>) {
  return {&StaticTrampoline<N>...};
}

constexpr std::array<JSObjectCallAsFunctionCallback, kSlots> kTrampolines =
    Trampolines(std::make_index_sequence<kSlots>());

void FinalizeInstance(JSObjectRef object) {
  auto* instance = static_cast<Instance*>(JSObjectGetPrivate(object));
  if (!instance) return;
  if (const std::shared_ptr<AgentState> state = instance->state.lock()) state->Forget(instance->id);
  delete instance;
}

JSValueRef CallbackTrampoline(JSContextRef ctx, JSObjectRef function, JSObjectRef thisObject,
                              size_t argumentCount, const JSValueRef arguments[],
                              JSValueRef* exception) {
  const auto* instance = static_cast<const Instance*>(JSObjectGetPrivate(function));
  const std::shared_ptr<AgentState> state = instance ? instance->state.lock() : nullptr;
  if (!state) return JSValueMakeUndefined(ctx);
  return state->owner->Forward(Operation::kCallCallback, instance->callback, 0, ctx, function,
                               thisObject, argumentCount, arguments, exception);
}

}  // namespace

JSClassRef ForwardClass(AgentState& state, uint32_t uiClass, const std::string& name,
                        const std::vector<std::string>& functions) {
  const auto known = state.classes.find(uiClass);
  if (known != state.classes.end()) return known->second;
  std::vector<JSStaticFunction> table;
  {
    std::lock_guard<std::mutex> lock(g_slotsMutex);
    for (size_t slot = 0; slot < kSlots && table.size() < functions.size(); ++slot) {
      if (g_slots[slot].state) continue;
      const uint32_t index = static_cast<uint32_t>(table.size());
      g_slots[slot] = {&state, uiClass, index};
      table.push_back({functions[index].c_str(), kTrampolines[slot], kJSPropertyAttributeNone});
    }
  }
  if (table.size() < functions.size()) return nullptr;
  table.push_back({nullptr, nullptr, 0});
  JSClassDefinition definition = kJSClassDefinitionEmpty;
  definition.className = name.c_str();
  definition.staticFunctions = table.data();
  definition.finalize = FinalizeInstance;
  const JSClassRef jsClass = JSClassCreate(&definition);
  state.classes[uiClass] = jsClass;
  return jsClass;
}

JSClassRef CallbackClass(AgentState& state) {
  if (!state.callbackClass) {
    JSClassDefinition definition = kJSClassDefinitionEmpty;
    definition.className = "Function";
    definition.callAsFunction = CallbackTrampoline;
    definition.finalize = FinalizeInstance;
    state.callbackClass = JSClassCreate(&definition);
  }
  return state.callbackClass;
}

JSObjectRef MakeInstance(const std::shared_ptr<AgentState>& state, uint64_t context,
                         JSContextRef ctx, JSClassRef jsClass, uint32_t uiClass,
                         uint32_t callback) {
  auto* instance = new Instance{state, state->NextId(), uiClass, callback};
  const JSObjectRef object = JSObjectMake(ctx, jsClass, instance);
  state->AddStable(instance->id, context, object);
  return object;
}

void ReleaseForwardClasses(AgentState& state) {
  {
    std::lock_guard<std::mutex> lock(g_slotsMutex);
    for (Slot& slot : g_slots) {
      if (slot.state == &state) slot = Slot();
    }
  }
  for (const auto& [id, jsClass] : state.classes) JSClassRelease(jsClass);
  state.classes.clear();
  if (state.callbackClass) JSClassRelease(state.callbackClass);
  state.callbackClass = nullptr;
}

}  // namespace page_agent

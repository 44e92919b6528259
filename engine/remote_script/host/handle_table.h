#pragma once

// The handles Trawler's side hands out for the contexts and values of page agents. A handle
// is a number, never reused, so a stale one is recognised (its page closed, its context went,
// or it was given back) and fails like a script exception. Dropping a context drops its
// values; dropping a link drops its contexts. On the UI thread only.

#include "bridge/script_engine.h"
#include "engine/remote_script/protocol/protocol.h"

#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>

namespace remote_script {

struct ValueRecord {
  uint64_t link = 0;     // 0: made here, carried inline
  uint64_t context = 0;  // the handle of its context
  WireValue wire;        // the value itself, or the agent's handle
  int protections = 0;
  bool pending = false;  // waits to be given back
};

struct ContextRecord {
  uint64_t handle = 0;
  uint64_t link = 0;
  uint64_t agentContext = 0;
  js::JSObjectRef global = nullptr;
  uint64_t page = 0;
};

class HandleTable {
 public:
  // A context of the link's agent, replacing an earlier one under the same number; its
  // global object is adopted when the agent described one.
  js::JSGlobalContextRef AddContext(uint64_t link, uint64_t agentContext, const WireValue& global,
                                    uint64_t page);
  // The handle of an agent's context, made when this side has not seen it yet.
  js::JSGlobalContextRef ContextOf(uint64_t link, uint64_t agentContext);
  // The same, or null when this side does not know it.
  js::JSContextRef KnownContext(uint64_t link, uint64_t agentContext) const;
  const ContextRecord* FindContext(js::JSContextRef context) const;
  void DropContext(js::JSContextRef context);
  void DropContextOf(uint64_t link, uint64_t agentContext);
  void DropLink(uint64_t link);

  // The context of each page's main frame, as its agent last reported it (null: none).
  void SetMainFrame(uint64_t page, js::JSGlobalContextRef context) { m_mainFrames[page] = context; }
  js::JSGlobalContextRef MainFrame(uint64_t page) const;

  // A new value; the caller decides when it is given back.
  uint64_t AddValue(ValueRecord record);
  // The handle of a value an agent described. An object that keeps its number keeps one
  // handle until its context goes, and is never given back (fresh is then false).
  uint64_t Adopt(uint64_t link, js::JSContextRef context, const WireValue& wire, bool& fresh);
  const ValueRecord* FindValue(js::JSValueRef value) const;
  ValueRecord* FindValue(uint64_t handle);
  // The wire form of a value for the agent of the link; false for a stale value or one of
  // another agent.
  bool Encode(js::JSValueRef value, uint64_t link, WireValue& wire) const;
  // Gives a pending, unprotected value back: true, with the agent's handle to release
  // (agentHandle 0 for a value made here), when it went.
  bool Release(uint64_t handle, uint64_t& link, uint64_t& agentHandle);
  size_t ValueCount() const { return m_values.size(); }

  // Private data of Trawler's objects, by their lasting number.
  void SetPrivate(uint64_t link, uint64_t agentHandle, void* data);
  void* Private(uint64_t link, uint64_t agentHandle) const;

 private:
  uint64_t NextHandle() { return m_nextHandle += 8; }

  uint64_t m_nextHandle = uint64_t{1} << 20;
  std::unordered_map<uint64_t, ContextRecord> m_contexts;
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> m_contextHandles;  // (link, agent context)
  std::unordered_map<uint64_t, ValueRecord> m_values;
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> m_stableValues;  // (link, agent handle)
  std::map<std::pair<uint64_t, uint64_t>, void*> m_privateData;      // (link, agent handle)
  std::map<uint64_t, js::JSGlobalContextRef> m_mainFrames;
};

// Handles are numbers carried in the interface's pointer types.
inline uint64_t Number(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }
template <typename Handle>
Handle HandleOf(uint64_t number) {
  return reinterpret_cast<Handle>(static_cast<uintptr_t>(number));
}

}  // namespace remote_script

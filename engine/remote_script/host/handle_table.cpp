#include "engine/remote_script/host/handle_table.h"

namespace remote_script {
namespace {

bool IsAgentHandle(const ValueRecord& record) {
  return record.link != 0 && record.wire.tag == WireValue::Tag::kHandle;
}

template <typename Map, typename Match>
void EraseIf(Map& map, Match match) {
  for (auto it = map.begin(); it != map.end();) {
    it = match(*it) ? map.erase(it) : std::next(it);
  }
}

}  // namespace

js::JSGlobalContextRef HandleTable::AddContext(uint64_t link, uint64_t agentContext,
                                               const WireValue& global, uint64_t page) {
  DropContextOf(link, agentContext);
  const uint64_t handle = NextHandle();
  m_contexts[handle] = {handle, link, agentContext, nullptr, page};
  m_contextHandles[{link, agentContext}] = handle;
  const auto context = HandleOf<js::JSGlobalContextRef>(handle);
  if (global.tag == WireValue::Tag::kHandle) {
    bool fresh = false;
    m_contexts[handle].global = HandleOf<js::JSObjectRef>(Adopt(link, context, global, fresh));
  }
  return context;
}

js::JSGlobalContextRef HandleTable::ContextOf(uint64_t link, uint64_t agentContext) {
  const auto found = m_contextHandles.find({link, agentContext});
  if (found != m_contextHandles.end()) return HandleOf<js::JSGlobalContextRef>(found->second);
  return AddContext(link, agentContext, WireValue(), 0);
}

js::JSContextRef HandleTable::KnownContext(uint64_t link, uint64_t agentContext) const {
  const auto found = m_contextHandles.find({link, agentContext});
  return found == m_contextHandles.end() ? nullptr : HandleOf<js::JSContextRef>(found->second);
}

const ContextRecord* HandleTable::FindContext(js::JSContextRef context) const {
  const auto found = m_contexts.find(Number(context));
  return found == m_contexts.end() ? nullptr : &found->second;
}

void HandleTable::DropContext(js::JSContextRef context) {
  const auto found = m_contexts.find(Number(context));
  if (found == m_contexts.end()) return;
  const ContextRecord record = found->second;
  m_contexts.erase(found);
  m_contextHandles.erase({record.link, record.agentContext});
  for (auto it = m_values.begin(); it != m_values.end();) {
    if (it->second.context != record.handle) {
      ++it;
      continue;
    }
    const std::pair<uint64_t, uint64_t> key{record.link, it->second.wire.handle};
    if (IsAgentHandle(it->second) && it->second.wire.stable) {
      m_stableValues.erase(key);
      m_privateData.erase(key);
    }
    it = m_values.erase(it);
  }
  EraseIf(m_mainFrames, [&](const auto& entry) { return Number(entry.second) == record.handle; });
}

void HandleTable::DropContextOf(uint64_t link, uint64_t agentContext) {
  const auto found = m_contextHandles.find({link, agentContext});
  if (found != m_contextHandles.end()) DropContext(HandleOf<js::JSContextRef>(found->second));
}

void HandleTable::DropLink(uint64_t link) {
  EraseIf(m_values, [link](const auto& entry) { return entry.second.link == link; });
  EraseIf(m_contexts, [link](const auto& entry) { return entry.second.link == link; });
  EraseIf(m_contextHandles, [link](const auto& entry) { return entry.first.first == link; });
  EraseIf(m_stableValues, [link](const auto& entry) { return entry.first.first == link; });
  EraseIf(m_privateData, [link](const auto& entry) { return entry.first.first == link; });
  EraseIf(m_mainFrames,
          [this](const auto& entry) { return !m_contexts.count(Number(entry.second)); });
}

js::JSGlobalContextRef HandleTable::MainFrame(uint64_t page) const {
  const auto found = m_mainFrames.find(page);
  return found == m_mainFrames.end() ? nullptr : found->second;
}

uint64_t HandleTable::AddValue(ValueRecord record) {
  const uint64_t handle = NextHandle();
  m_values.emplace(handle, std::move(record));
  return handle;
}

uint64_t HandleTable::Adopt(uint64_t link, js::JSContextRef context, const WireValue& wire,
                            bool& fresh) {
  fresh = wire.tag != WireValue::Tag::kHandle || !wire.stable;
  if (wire.tag != WireValue::Tag::kHandle) return AddValue({0, Number(context), wire, 0, false});
  if (!wire.stable) return AddValue({link, Number(context), wire, 0, false});
  const std::pair<uint64_t, uint64_t> key{link, wire.handle};
  const auto known = m_stableValues.find(key);
  if (known != m_stableValues.end() && m_values.count(known->second)) return known->second;
  const uint64_t handle = AddValue({link, Number(context), wire, 0, false});
  m_stableValues[key] = handle;
  return handle;
}

const ValueRecord* HandleTable::FindValue(js::JSValueRef value) const {
  const auto found = m_values.find(Number(value));
  return found == m_values.end() ? nullptr : &found->second;
}

ValueRecord* HandleTable::FindValue(uint64_t handle) {
  const auto found = m_values.find(handle);
  return found == m_values.end() ? nullptr : &found->second;
}

bool HandleTable::Encode(js::JSValueRef value, uint64_t link, WireValue& wire) const {
  wire = WireValue();
  if (!value) return true;
  const ValueRecord* record = FindValue(value);
  if (!record) return false;
  if (!IsAgentHandle(*record)) {
    wire = record->wire;
    return true;
  }
  if (record->link != link) return false;
  wire.tag = WireValue::Tag::kReference;
  wire.handle = record->wire.handle;
  return true;
}

bool HandleTable::Release(uint64_t handle, uint64_t& link, uint64_t& agentHandle) {
  const auto found = m_values.find(handle);
  if (found == m_values.end() || !found->second.pending) return false;
  found->second.pending = false;
  if (found->second.protections > 0) return false;
  const bool agents = IsAgentHandle(found->second);
  link = found->second.link;
  agentHandle = agents ? found->second.wire.handle : 0;
  m_values.erase(found);
  return true;
}

void HandleTable::SetPrivate(uint64_t link, uint64_t agentHandle, void* data) {
  m_privateData[{link, agentHandle}] = data;
}

void* HandleTable::Private(uint64_t link, uint64_t agentHandle) const {
  const auto found = m_privateData.find({link, agentHandle});
  return found == m_privateData.end() ? nullptr : found->second;
}

}  // namespace remote_script

#include "engine/remote_script/host/native_callbacks.h"

namespace remote_script {

ClassRecord* NativeCallbacks::AddClass(std::string name) {
  auto* record = new ClassRecord{1, m_nextClassId++, std::move(name), {}};
  m_classes[record->id] = record;
  return record;
}

const ClassRecord* NativeCallbacks::Class(uint32_t id) const {
  const auto found = m_classes.find(id);
  return found == m_classes.end() ? nullptr : found->second;
}

js::JSObjectCallAsFunctionCallback NativeCallbacks::StaticFunction(uint32_t classId,
                                                                   uint32_t index) const {
  const ClassRecord* record = Class(classId);
  return record && index < record->functions.size() ? record->functions[index].second : nullptr;
}

}  // namespace remote_script

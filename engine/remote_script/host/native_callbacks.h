#pragma once

// What stays in Trawler's process and travels by number: the classes the system made, the
// native functions their objects forward calls to, and the receivers of posted calls'
// exceptions. On the UI thread only.

#include "bridge/script_engine.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace remote_script {

struct ClassRecord {
  int references = 1;
  uint32_t id = 0;
  std::string name;
  std::vector<std::pair<std::string, js::JSObjectCallAsFunctionCallback>> functions;
};

// Entries numbered from 1 in the order first seen; 0 and null stand for none.
template <typename Entry>
class NumberedTable {
 public:
  uint32_t NumberOf(Entry entry) {
    if (!entry) return 0;
    const auto found = std::find(m_entries.begin(), m_entries.end(), entry);
    if (found != m_entries.end()) return static_cast<uint32_t>(found - m_entries.begin() + 1);
    m_entries.push_back(entry);
    return static_cast<uint32_t>(m_entries.size());
  }
  Entry At(uint32_t number) const {
    return number >= 1 && number <= m_entries.size() ? m_entries[number - 1] : nullptr;
  }

 private:
  std::vector<Entry> m_entries;
};

class NativeCallbacks {
 public:
  ClassRecord* AddClass(std::string name);
  void RemoveClass(uint32_t id) { m_classes.erase(id); }
  const ClassRecord* Class(uint32_t id) const;
  // The static function of a class, or null.
  js::JSObjectCallAsFunctionCallback StaticFunction(uint32_t classId, uint32_t index) const;

  NumberedTable<js::JSObjectCallAsFunctionCallback> callbacks;
  NumberedTable<js::JSPostedCallExceptionCallback> reporters;

 private:
  uint32_t m_nextClassId = 1;
  std::map<uint32_t, ClassRecord*> m_classes;  // owned by their JSClassRef handles
};

}  // namespace remote_script

#pragma once

// Opaque handles for the layer's records: each handle is a fresh number, never reused, so
// a stale handle is recognised as stale.

#include <cstdint>
#include <map>
#include <memory>

namespace platform {

template <typename Handle, typename Record>
class HandleTable {
 public:
  explicit HandleTable(uintptr_t first) : m_next(first) {}

  Handle Add(std::unique_ptr<Record> record) {
    const Handle handle = reinterpret_cast<Handle>(m_next);
    m_next += 4;
    m_records.emplace(handle, std::move(record));
    return handle;
  }
  Record* Find(Handle handle) const {
    const auto it = m_records.find(handle);
    return it == m_records.end() ? nullptr : it->second.get();
  }
  // Takes the record out of the table; the caller decides when it goes.
  std::unique_ptr<Record> Remove(Handle handle) {
    const auto it = m_records.find(handle);
    if (it == m_records.end()) return nullptr;
    std::unique_ptr<Record> record = std::move(it->second);
    m_records.erase(it);
    return record;
  }
  const std::map<Handle, std::unique_ptr<Record>>& All() const { return m_records; }

 private:
  uintptr_t m_next;
  std::map<Handle, std::unique_ptr<Record>> m_records;
};

}  // namespace platform

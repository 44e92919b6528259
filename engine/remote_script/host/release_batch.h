#pragma once

// When the values the system obtained are given back. Values obtained while a scope is open
// are due once the outermost scope closes; values obtained outside any scope are due at the
// next idle moment of the main context, or at a full flush. The batch only keeps the handles
// and the timing; the owner gives the values back. On the UI thread only.

#include <cstdint>
#include <vector>

namespace remote_script {

class ReleaseBatch {
 public:
  // Called with the handles that are due; everything says whether those obtained outside
  // any scope are among them.
  using Flush = void (*)(bool everything);
  explicit ReleaseBatch(Flush flush) : m_flush(flush) {}

  void EnterScope() { ++m_depth; }
  // Closing the outermost scope flushes.
  void LeaveScope();
  void Add(uint64_t handle);
  // The handles now due, taken out of the batch.
  std::vector<uint64_t> TakeDue(bool everything);

 private:
  void ScheduleIdleFlush();

  Flush m_flush;
  int m_depth = 0;
  bool m_idleFlushScheduled = false;
  bool m_looseFlushDue = false;  // the idle flush came while a scope was open
  std::vector<uint64_t> m_scoped;
  std::vector<uint64_t> m_loose;
};

}  // namespace remote_script

#include "engine/remote_script/host/release_batch.h"

#include <glib.h>

#include <utility>

namespace remote_script {

void ReleaseBatch::LeaveScope() {
  if (--m_depth > 0) return;
  m_flush(std::exchange(m_looseFlushDue, false));
}

void ReleaseBatch::Add(uint64_t handle) {
  if (m_depth > 0) {
    m_scoped.push_back(handle);
    return;
  }
  m_loose.push_back(handle);
  ScheduleIdleFlush();
}

std::vector<uint64_t> ReleaseBatch::TakeDue(bool everything) {
  std::vector<uint64_t> due;
  due.swap(m_scoped);
  if (everything) {
    due.insert(due.end(), m_loose.begin(), m_loose.end());
    m_loose.clear();
  }
  return due;
}

void ReleaseBatch::ScheduleIdleFlush() {
  if (m_idleFlushScheduled) return;
  m_idleFlushScheduled = true;
  g_idle_add(
      [](gpointer self) {
        auto* batch = static_cast<ReleaseBatch*>(self);
        batch->m_idleFlushScheduled = false;
        // Inside a scope (a nested main loop), the flush waits for the scope to close.
        if (batch->m_depth > 0) {
          batch->m_looseFlushDue = true;
        } else {
          batch->m_flush(true);
        }
        return gboolean(G_SOURCE_REMOVE);
      },
      this);
}

}  // namespace remote_script

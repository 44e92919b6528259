#include "engine/testing/scheduler.h"

namespace sim {

Scheduler& Scheduler::Get() {
  static Scheduler scheduler;
  return scheduler;
}

Scheduler::Scheduler() { headless::SetEventSource(this); }

void Scheduler::After(uint64_t delay, std::function<void()> task) {
  m_tasks.emplace(std::make_pair(m_now + delay, m_sequence++), std::move(task));
}

void Scheduler::Defer(std::function<void()> work) { m_deferred.push_back(std::move(work)); }

void Scheduler::RunDeferred() {
  while (!m_deferred.empty()) {
    std::vector<std::function<void()>> work;
    work.swap(m_deferred);
    for (auto& item : work) item();
  }
}

bool Scheduler::RunNextEvent() {
  RunDeferred();
  if (m_tasks.empty()) return false;
  auto next = m_tasks.begin();
  m_now = next->first.first;
  std::function<void()> task = std::move(next->second);
  m_tasks.erase(next);
  task();
  return true;
}

void Scheduler::Clear() {
  m_tasks.clear();
  RunDeferred();
}

}  // namespace sim

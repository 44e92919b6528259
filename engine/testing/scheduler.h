#pragma once

// Virtual time: tasks due at a millisecond, run in order of due time and then of
// scheduling. The headless message loop asks for the next task whenever its queue is
// empty, and the clock jumps to that task's time.

#include "platform/headless/observation.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace sim {

class Scheduler : public headless::EventSource {
 public:
  static Scheduler& Get();

  // Runs the task delay milliseconds from now.
  void After(uint64_t delay, std::function<void()> task);
  // Runs before the next task: for what must not happen inside the current one.
  void Defer(std::function<void()> work);
  bool RunNextEvent() override;
  uint64_t Now() const { return m_now; }
  void Clear();
  void ResetClock() { m_now = 0; }

 private:
  Scheduler();
  void RunDeferred();

  uint64_t m_now = 0;
  uint64_t m_sequence = 0;
  std::map<std::pair<uint64_t, uint64_t>, std::function<void()>> m_tasks;
  std::vector<std::function<void()>> m_deferred;
};

}  // namespace sim

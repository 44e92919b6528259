#pragma once

// A page agent on a thread of the test, connected to the address Trawler's side listens
// at, serving from its own loop. The test can pause its serving, hand it work to run on
// its thread, and wait for the number of handles it keeps.

#include "engine/remote_script/agent/page_agent.h"
#include "engine/remote_script/host/remote_script.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace remote_test {

class AgentThread {
 public:
  explicit AgentThread(const remote_script::AgentAddress& address);
  ~AgentThread();
  AgentThread(const AgentThread&) = delete;
  AgentThread& operator=(const AgentThread&) = delete;

  // While paused the agent reads nothing, as a page that hangs would.
  void SetPaused(bool paused);
  // Runs the work on the agent's thread, with its agent, and returns once it has run.
  void Run(std::function<void(page_agent::PageAgent&)> work);
  // The same without waiting for it.
  void Post(std::function<void(page_agent::PageAgent&)> work);
  // Waits (a few seconds at most) until the agent keeps that many handles.
  bool WaitForLiveHandles(size_t count);
  size_t LiveHandles();
  // Ends the thread; the agent's connection closes with it.
  void Stop();

 private:
  void Loop(remote_script::AgentAddress address);

  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_stop = false;
  bool m_paused = false;
  size_t m_liveHandles = 0;
  std::vector<std::function<void(page_agent::PageAgent&)>> m_work;
  std::thread m_thread;
};

}  // namespace remote_test

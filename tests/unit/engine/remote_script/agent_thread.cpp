#include "tests/unit/engine/remote_script/agent_thread.h"

#include "engine/remote_script/protocol/sockets.h"

#include <poll.h>

#include <chrono>

namespace remote_test {

AgentThread::AgentThread(const remote_script::AgentAddress& address)
    : m_thread([this, address] { Loop(address); }) {}

AgentThread::~AgentThread() { Stop(); }

void AgentThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void AgentThread::SetPaused(bool paused) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paused = paused;
  }
  // Once a turn of the loop has begun after the change, it holds.
  Run([](page_agent::PageAgent&) {});
}

void AgentThread::Run(std::function<void(page_agent::PageAgent&)> work) {
  bool done = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_work.push_back([&, work](page_agent::PageAgent& agent) {
      work(agent);
      std::lock_guard<std::mutex> inner(m_mutex);
      done = true;
    });
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return done || m_stop; });
}

void AgentThread::Post(std::function<void(page_agent::PageAgent&)> work) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_work.push_back(std::move(work));
}

size_t AgentThread::LiveHandles() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_liveHandles;
}

bool AgentThread::WaitForLiveHandles(size_t count) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_liveHandles == count; });
}

void AgentThread::Loop(remote_script::AgentAddress address) {
  page_agent::PageAgent agent(remote_script::ConnectTo(address.socketPath));
  agent.Hello(address.token);
  while (agent.IsOpen()) {
    std::vector<std::function<void(page_agent::PageAgent&)>> work;
    bool paused = false;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_stop) break;
      work.swap(m_work);
      paused = m_paused;
    }
    for (auto& item : work) item(agent);
    pollfd readable{agent.Socket(), POLLIN, 0};
    if (!paused && (agent.HasPendingInput() || poll(&readable, 1, 10) > 0)) agent.ServeAvailable();
    if (paused) poll(nullptr, 0, 10);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_liveHandles = agent.LiveHandles();
    }
    m_changed.notify_all();
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_stop = true;
  m_changed.notify_all();
}

}  // namespace remote_test

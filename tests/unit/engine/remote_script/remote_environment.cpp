#include "tests/unit/engine/remote_script/remote_environment.h"

namespace remote_test {

const remote_script::AgentAddress& Address() {
  static const remote_script::AgentAddress address = [] {
    remote_script::AgentAddress listening;
    remote_script::StartListening(listening);
    return listening;
  }();
  return address;
}

std::unique_ptr<AgentThread> ConnectAgent() {
  auto agent = std::make_unique<AgentThread>(Address());
  return remote_script::AcceptAgent(5000) ? std::move(agent) : nullptr;
}

AgentThread& SharedAgent() {
  static AgentThread* agent = ConnectAgent().release();
  return *agent;
}

}  // namespace remote_test

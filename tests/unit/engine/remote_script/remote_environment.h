#pragma once

// The agent that the remote implementation's tests run against: listening starts once,
// one agent connects and is accepted. Tests may add agents of their own.

#include "tests/unit/engine/remote_script/agent_thread.h"

#include <memory>

namespace remote_test {

// The address Trawler's side listens at (listening from the first call on).
const remote_script::AgentAddress& Address();
// The shared agent, connected and accepted.
AgentThread& SharedAgent();
// A further agent, connected and accepted; null when that failed.
std::unique_ptr<AgentThread> ConnectAgent();

}  // namespace remote_test

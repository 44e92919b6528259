#pragma once

// The remote script engine seen from the web engine and the tests: where page agents
// connect, what they report, and when the values the system obtained are given back.
// The script engine interface itself (bridge/script_engine.h) is the rest of it. On the UI
// thread only.

#include "bridge/script_engine.h"

#include <cstdint>
#include <functional>
#include <string>

namespace remote_script {

struct AgentAddress {
  std::string socketPath;
  std::string token;
};

// Listens for page agents on a new socket in a folder only this user can read; agents are
// then served from the default GLib main context. The socket goes at StopListening and
// when the process ends. Calling it again answers the same address.
bool StartListening(AgentAddress& address);
void StopListening();
// Takes one agent that is connecting, with its hello, within the time (for hosts that do
// not run the main context); false when none came or it was refused.
bool AcceptAgent(int timeoutMilliseconds);

// Told of each frame's new window object, before the page's own scripts run.
using WindowObjectHandler =
    std::function<void(uint64_t page, uint64_t frame, bool mainFrame,
                       js::JSGlobalContextRef context, js::JSObjectRef windowObject)>;
void SetWindowObjectHandler(WindowObjectHandler handler);
// The context of the page's main frame, as its agent last reported it (null: none).
js::JSGlobalContextRef MainFrameContext(uint64_t page);

// How long a call waits for the page (5 s unless set).
void SetWaitLimit(int milliseconds);

// Values obtained while a scope is open are given back once the outermost scope closes,
// unless protected; the web engine opens one around every delegate call, and each request
// an agent makes is served in one. Values obtained outside any scope go at the next idle
// moment of the main context, or at FlushReleases.
class ScopedCall {
 public:
  ScopedCall();
  ~ScopedCall();
  ScopedCall(const ScopedCall&) = delete;
  ScopedCall& operator=(const ScopedCall&) = delete;
};
void FlushReleases();

// Counts, for tests and benchmarks.
struct Statistics {
  uint64_t requests = 0;  // calls made to agents
  uint64_t served = 0;    // requests agents made
  uint64_t liveStrings = 0;
  uint64_t liveValues = 0;  // value handles held on this side
  uint64_t posted = 0;      // calls posted to agents
  uint64_t framesSent = 0;  // frames written to agents, and read from them
  uint64_t framesReceived = 0;
  uint64_t stalledPages = 0;  // agents that let a call wait past the limit, and sent nothing since
};
Statistics GetStatistics();

}  // namespace remote_script

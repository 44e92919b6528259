#pragma once

// The page agent: runs Trawler's script operations on the JavaScriptCore of its own process,
// over one connection. It numbers the contexts, objects and values it hands out and keeps
// each alive until Trawler releases it; objects of Trawler's classes keep one number for
// their whole life. A request that names an unknown or released handle, or a context that
// is gone, is answered as a script exception. The host (the web extension, or a test's
// thread) calls it on the thread that runs the contexts, and serves its socket from its own
// loop with ServeAvailable().

#include "engine/remote_script/protocol/endpoint.h"

#include <JavaScriptCore/JavaScript.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace page_agent {

struct AgentState;

class PageAgent : public remote_script::Endpoint {
 public:
  // Takes over the socket, connected to Trawler.
  explicit PageAgent(int socket);
  ~PageAgent() override;

  // Presents the token; false when Trawler refused it or did not answer.
  bool Hello(const std::string& token);
  // A frame's window object was made anew, in this context: the frame's earlier context is
  // gone, and Trawler is told of the new one and answers once it has done its work there
  // (installed "service"), before the page's own scripts run. A null context is ignored.
  void WindowObjectCleared(uint64_t page, uint64_t frame, bool mainFrame,
                           JSGlobalContextRef context);
  // Values and objects kept alive for Trawler now.
  size_t LiveHandles() const { return m_liveHandles.load(); }

  // What a forwarded call does: the static function of a class, or a callback function.
  JSValueRef Forward(remote_script::Operation operation, uint32_t target, uint32_t index,
                     JSContextRef context, JSObjectRef function, JSObjectRef thisObject,
                     size_t argumentCount, const JSValueRef arguments[], JSValueRef* exception);

 protected:
  bool Serve(const remote_script::Frame& request, std::string& reply) override;
  // Notices run in order, and never while a call of this agent waits: a posted call runs
  // the page's script, which must not start inside another call's wait.
  bool Notice(const remote_script::Frame& notice) override;
  bool HasDeferredWork() const override { return !m_deferred.empty(); }
  void RunDeferredWork() override;

 private:
  struct PostedCall;
  bool TakePostedCalls(remote_script::Reader& reader);
  void RunPostedCall(const PostedCall& call);
  void Defer(std::function<void()> work);

  std::shared_ptr<AgentState> m_state;
  std::atomic<size_t> m_liveHandles{0};
  std::deque<std::function<void()>> m_deferred;
  bool m_runningDeferred = false;
};

}  // namespace page_agent

#pragma once

// Trawler's side of the script connections: the agents connected now, and the handles of
// the contexts, values, strings and classes the script engine interface hands out. A value
// handle is a number, never reused, so a stale one is recognised (its page closed, its
// context went, or it was given back) and fails like a script exception. Strings and
// classes stay in this process. On the UI thread only.

#include "bridge/script_engine.h"
#include "engine/remote_script/host/remote_script.h"
#include "engine/remote_script/protocol/endpoint.h"

#include <glib.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace remote_script {

class Session;

// A line of debug output (the line feed is added).
void DebugLine(const std::string& line);

// One page agent's connection. Its first request must present the token, within
// kHelloMilliseconds and kHelloBytes; until then the link is one of at most
// kMaxUnauthenticated.
class AgentLink : public Endpoint {
 public:
  inline static constexpr int kHelloMilliseconds = 5000;
  inline static constexpr size_t kHelloBytes = 4096;
  inline static constexpr size_t kMaxUnauthenticated = 8;

  AgentLink(Session& session, uint64_t id, int socket);
  ~AgentLink() override;
  uint64_t Id() const { return m_id; }
  bool Authenticated() const { return m_authenticated; }
  void Watch();
  // Adds one encoded call to the posts that go with the next flush; false when the link is
  // gone or the call is too long to send.
  bool PostCall(const std::string& call);
  // Sends the posted calls, all in one frame (or more, when they are very long).
  void FlushPosts();

 protected:
  bool Serve(const Frame& request, std::string& reply) override;
  bool Notice(const Frame& notice) override;
  void InputPending() override;
  void OutputPending() override;
  void Served() override;
  void Closed() override;
  void Log(const std::string& line) override;

 private:
  bool Hello(Reader& reader, std::string& reply);
  bool WindowObjectCleared(Reader& reader);
  bool Forwarded(Operation operation, Reader& reader, std::string& reply);
  bool PostedCallFailed(Reader& reader);

  Session& m_session;
  uint64_t m_id;
  bool m_authenticated = false;
  unsigned m_watch = 0;
  unsigned m_outputWatch = 0;
  unsigned m_helloDeadline = 0;
  std::string m_posts;
  uint32_t m_postCount = 0;
};

struct StringRecord {
  int references = 1;
  std::u16string text;
};

struct ClassRecord {
  int references = 1;
  uint32_t id = 0;
  std::string name;
  std::vector<std::pair<std::string, js::JSObjectCallAsFunctionCallback>> functions;
};

struct ValueRecord {
  uint64_t link = 0;     // 0: made here, carried inline
  uint64_t context = 0;  // the handle of its context
  WireValue wire;        // the value itself, or the agent's handle
  int protections = 0;
  bool pending = false;  // waits to be given back
};

struct ContextRecord {
  uint64_t handle = 0;
  uint64_t link = 0;
  uint64_t agentContext = 0;
  js::JSObjectRef global = nullptr;
  uint64_t page = 0;
};

class Session {
 public:
  static Session& Get();

  // Agents. A link stays an object until no call of it is under way, closed or not. A
  // connection past the number of links waiting for their token is closed at once (null).
  AgentLink* AddLink(int socket);
  AgentLink* Link(uint64_t id);
  // The newest agent that presented its token.
  AgentLink* NewestLink();
  void LinkClosed(uint64_t id);
  std::string token;
  int waitMilliseconds = Endpoint::kDefaultWaitMilliseconds;
  void SetWaitLimits(int milliseconds);
  WindowObjectHandler windowObjectHandler;
  std::map<uint64_t, js::JSGlobalContextRef> mainFrameContexts;

  // Contexts.
  js::JSGlobalContextRef AddContext(uint64_t link, uint64_t agentContext, const WireValue& global,
                                    uint64_t page);
  // The handle of an agent's context, made when this side has not seen it yet.
  js::JSGlobalContextRef ContextOf(uint64_t link, uint64_t agentContext);
  const ContextRecord* FindContext(js::JSContextRef context) const;
  void DropContext(js::JSContextRef context);
  void DropContextOf(uint64_t link, uint64_t agentContext);

  // Values.
  js::JSValueRef MakeValue(js::JSContextRef context, const WireValue& wire);
  // The handle of a value an agent described; an object that keeps its number keeps its
  // handle too.
  js::JSValueRef Adopt(uint64_t link, js::JSContextRef context, const WireValue& wire);
  const ValueRecord* FindValue(js::JSValueRef value) const;
  // The wire form of a value for the agent of the link; false for a stale value or one of
  // another agent.
  bool Encode(js::JSValueRef value, uint64_t link, WireValue& wire) const;
  void Protect(js::JSValueRef value, int change);
  std::map<std::pair<uint64_t, uint64_t>, void*> privateData;  // by (link, agent handle)

  // Calls to agents. The answer follows a kOk status; an exception, a timeout or a lost
  // page gives none, and *exception (when given) a value that says why.
  std::optional<std::string> Ask(ContextRecord context, Operation operation,
                                 const std::string& arguments, js::JSValueRef* exception);
  // A value whose string form says what went wrong, as a script exception would.
  js::JSValueRef Failure(js::JSContextRef context, const char* message);

  // Strings and classes of this side; callbacks by number.
  uint32_t NextClassId() { return m_nextClassId++; }
  std::map<uint32_t, ClassRecord*> classes;
  uint32_t CallbackId(js::JSObjectCallAsFunctionCallback callback);
  js::JSObjectCallAsFunctionCallback Callback(uint32_t id) const;
  // The receivers of posted calls' exceptions, by number (0: none).
  uint32_t ReporterId(js::JSPostedCallExceptionCallback reporter);
  js::JSPostedCallExceptionCallback Reporter(uint32_t id) const;
  // Posted calls go out once per main-loop iteration, before it waits.
  void SchedulePostFlush();
  void FlushPosts();
  // The context of an agent's context number, when this side knows it.
  js::JSContextRef KnownContext(uint64_t link, uint64_t agentContext) const;
  uint64_t liveStrings = 0;

  // Scopes and the giving back of values.
  void EnterScope() { ++m_depth; }
  void LeaveScope();
  int Depth() const { return m_depth; }
  void Flush(bool everything);
  Statistics statistics;
  // The counts with those of the links.
  Statistics Counts() const;

 private:
  Session() = default;
  uint64_t NextHandle() { return m_nextHandle += 8; }
  js::JSValueRef AddValue(ValueRecord record);
  void MarkPending(uint64_t handle, ValueRecord& record);
  void ScheduleIdleFlush();
  void CollectLinks();

  uint64_t m_nextHandle = uint64_t{1} << 20;
  uint64_t m_nextLink = 1;
  uint32_t m_nextClassId = 1;
  int m_depth = 0;
  bool m_idleFlushScheduled = false;
  bool m_looseFlushDue = false;  // the idle flush came while a scope was open
  std::map<uint64_t, std::unique_ptr<AgentLink>> m_links;
  std::unordered_map<uint64_t, ContextRecord> m_contexts;
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> m_contextHandles;  // (link, agent context)
  std::unordered_map<uint64_t, ValueRecord> m_values;
  std::map<std::pair<uint64_t, uint64_t>, uint64_t> m_stableValues;  // (link, agent handle)
  std::vector<uint64_t> m_pendingScoped;
  std::vector<uint64_t> m_pendingLoose;
  std::vector<js::JSObjectCallAsFunctionCallback> m_callbacks;
  std::vector<js::JSPostedCallExceptionCallback> m_reporters;
  GSource* m_postFlush = nullptr;
  Statistics m_goneLinks;  // frame counts of links that went
};

}  // namespace remote_script

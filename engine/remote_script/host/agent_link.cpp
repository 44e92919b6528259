#include "engine/remote_script/host/agent_link.h"

#include "engine/remote_script/host/remote_session.h"

#include <glib-unix.h>
#include <glib.h>

#include <cstring>
#include <utility>

namespace remote_script {

AgentLink::AgentLink(Session& session, uint64_t id, int socket)
    : Endpoint(socket), m_session(session), m_id(id) {
  // Trawler never waits for a page to take what it writes.
  SetNonBlockingWrites();
  SetInputLimit(kHelloBytes);
  m_helloDeadline = g_timeout_add(
      kHelloMilliseconds,
      [](gpointer id) {
        AgentLink* link = Session::Get().Links().Find(reinterpret_cast<uintptr_t>(id));
        if (link) {
          link->m_helloDeadline = 0;
          link->Drop("the agent presented no token in time");
          Session::Get().Flush(false);
        }
        return gboolean(G_SOURCE_REMOVE);
      },
      reinterpret_cast<gpointer>(static_cast<uintptr_t>(id)));
}

AgentLink::~AgentLink() {
  for (unsigned source : {m_watch, m_outputWatch, m_helloDeadline}) {
    if (source) g_source_remove(source);
  }
}

void AgentLink::Watch() {
  m_watch = g_unix_fd_add(
      Socket(), GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
      [](gint, GIOCondition, gpointer id) {
        AgentLink* link = Session::Get().Links().Find(reinterpret_cast<uintptr_t>(id));
        if (!link || !link->ServeAvailable()) {
          if (link) link->m_watch = 0;
          return gboolean(G_SOURCE_REMOVE);
        }
        return gboolean(G_SOURCE_CONTINUE);
      },
      reinterpret_cast<gpointer>(static_cast<uintptr_t>(m_id)));
}

void AgentLink::Log(const std::string& line) { DebugLine(line); }

bool AgentLink::PostCall(const std::string& call) {
  // A batch stays well below the frame limit; one call alone must fit in a frame.
  constexpr size_t kBatchBytes = 16u << 20;
  if (!IsOpen() || !FitsInFrame(sizeof m_postCount + call.size())) return false;
  if (m_posts.size() + call.size() > kBatchBytes) FlushPosts();
  // The batch begins with its count, written when it goes.
  if (m_posts.empty()) m_posts.assign(sizeof m_postCount, '\0');
  m_posts += call;
  ++m_postCount;
  ++m_session.statistics.posted;
  m_session.Links().SchedulePostFlush();
  return true;
}

void AgentLink::FlushPosts() {
  if (m_postCount == 0) return;
  std::memcpy(m_posts.data(), &m_postCount, sizeof m_postCount);
  m_postCount = 0;
  Notify(Operation::kPostCalls, m_posts);
  m_posts.clear();
}

void AgentLink::OutputPending() {
  if (m_outputWatch) return;
  // The page takes nothing now; the rest goes whenever it can take more.
  m_outputWatch = g_unix_fd_add(
      Socket(), G_IO_OUT,
      [](gint, GIOCondition, gpointer id) {
        AgentLink* link = Session::Get().Links().Find(reinterpret_cast<uintptr_t>(id));
        if (!link) return gboolean(G_SOURCE_REMOVE);
        if (link->WriteQueued() && link->HasQueuedOutput()) return gboolean(G_SOURCE_CONTINUE);
        link->m_outputWatch = 0;
        return gboolean(G_SOURCE_REMOVE);
      },
      reinterpret_cast<gpointer>(static_cast<uintptr_t>(m_id)));
}

void AgentLink::InputPending() {
  g_idle_add(
      [](gpointer id) {
        AgentLink* link = Session::Get().Links().Find(reinterpret_cast<uintptr_t>(id));
        if (link && link->IsOpen()) link->ServeAvailable();
        return gboolean(G_SOURCE_REMOVE);
      },
      reinterpret_cast<gpointer>(static_cast<uintptr_t>(m_id)));
}

void AgentLink::Closed() {
  for (unsigned* source : {&m_watch, &m_outputWatch, &m_helloDeadline}) {
    if (*source) g_source_remove(std::exchange(*source, 0));
  }
  m_posts.clear();
  m_postCount = 0;
  m_session.LinkClosed(m_id);
}

bool AgentLink::Serve(const Frame& request, std::string& reply) {
  m_session.EnterScope();
  ++m_session.statistics.served;
  Reader reader(request.payload);
  if (!m_authenticated) {
    if (request.operation == Operation::kHello) return Hello(reader, reply);
    Drop("the agent presented no token");
    return false;
  }
  switch (request.operation) {
    case Operation::kWindowObjectCleared:
      return WindowObjectCleared(reader);
    case Operation::kCallStatic:
    case Operation::kCallCallback:
      return Forwarded(request.operation, reader, reply);
    default:
      return false;
  }
}

void AgentLink::Served() { m_session.LeaveScope(); }

bool AgentLink::Notice(const Frame& notice) {
  Reader reader(notice.payload);
  if (!m_authenticated) return false;
  if (notice.operation == Operation::kPostedCallFailed) return PostedCallFailed(reader);
  uint64_t context = 0;
  if (notice.operation != Operation::kContextGone || !reader.U64(context) || !reader.Done()) {
    return false;
  }
  m_session.Handles().DropContextOf(m_id, context);
  return true;
}

bool AgentLink::PostedCallFailed(Reader& reader) {
  uint64_t agentContext = 0;
  uint32_t reporter = 0;
  WireValue text;
  text.tag = WireValue::Tag::kString;
  if (!reader.U64(agentContext) || !reader.U32(reporter) || !reader.String(text.string) ||
      !reader.Done()) {
    return false;
  }
  const js::JSContextRef context = m_session.Handles().KnownContext(m_id, agentContext);
  const js::JSPostedCallExceptionCallback report = m_session.Natives().reporters.At(reporter);
  if (!context || !report) return true;
  m_session.EnterScope();
  report(context, m_session.MakeValue(context, text));
  m_session.LeaveScope();
  return true;
}

bool AgentLink::Hello(Reader& reader, std::string& reply) {
  std::u16string token;
  uint32_t version = 0;
  if (!reader.String(token) || !reader.U32(version) || !reader.Done()) return false;
  if (token != std::u16string(m_session.Links().Token().begin(), m_session.Links().Token().end())) {
    Drop("the agent presented a wrong token");
    return false;
  }
  if (version != kProtocolVersion) {
    Drop("the agent speaks protocol version " + std::to_string(version));
    return false;
  }
  m_authenticated = true;
  SetInputLimit(0);
  if (m_helloDeadline) g_source_remove(std::exchange(m_helloDeadline, 0));
  Writer(reply).U8(static_cast<uint8_t>(Status::kOk)).U32(kProtocolVersion);
  return true;
}

bool AgentLink::WindowObjectCleared(Reader& reader) {
  uint64_t page = 0, frame = 0, agentContext = 0;
  uint8_t mainFrame = 0;
  WireValue global;
  if (!reader.U64(page) || !reader.U64(frame) || !reader.U8(mainFrame) ||
      !reader.U64(agentContext) || !reader.Value(global) || !reader.Done()) {
    return false;
  }
  const js::JSGlobalContextRef context =
      m_session.Handles().AddContext(m_id, agentContext, global, page);
  if (mainFrame) m_session.Handles().SetMainFrame(page, context);
  if (m_session.OnWindowObject()) {
    m_session.OnWindowObject()(page, frame, mainFrame != 0, context,
                               m_session.Handles().FindContext(context)->global);
  }
  return true;
}

bool AgentLink::Forwarded(Operation operation, Reader& reader, std::string& reply) {
  uint64_t agentContext = 0;
  uint32_t target = 0, index = 0;
  WireValue functionWire, thisWire;
  std::vector<WireValue> argumentWires;
  if (!reader.U64(agentContext) || !reader.U32(target) || !reader.U32(index) ||
      !reader.Value(functionWire) || !reader.Value(thisWire) || !reader.Values(argumentWires) ||
      !reader.Done()) {
    return false;
  }
  const js::JSObjectCallAsFunctionCallback callback =
      operation == Operation::kCallCallback ? m_session.Natives().callbacks.At(target)
                                            : m_session.Natives().StaticFunction(target, index);
  const js::JSGlobalContextRef context = m_session.Handles().ContextOf(m_id, agentContext);
  const auto function = const_cast<js::JSObjectRef>(m_session.Adopt(m_id, context, functionWire));
  const auto thisObject = const_cast<js::JSObjectRef>(m_session.Adopt(m_id, context, thisWire));
  std::vector<js::JSValueRef> arguments;
  for (const WireValue& wire : argumentWires)
    arguments.push_back(m_session.Adopt(m_id, context, wire));
  js::JSValueRef exception = nullptr;
  const js::JSValueRef result =
      callback ? callback(context, function, thisObject, arguments.size(),
                          arguments.empty() ? nullptr : arguments.data(), &exception)
               : nullptr;
  WireValue answer;
  if (!m_session.Handles().Encode(exception ? exception : result, m_id, answer))
    answer = WireValue();
  Writer(reply)
      .U8(static_cast<uint8_t>(exception ? Status::kException : Status::kOk))
      .Value(answer);
  return true;
}

}  // namespace remote_script

#include "engine/remote_script/host/remote_session.h"

#include "engine/remote_script/protocol/text.h"
#include "platform/win32.h"

#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace remote_script {
namespace {

uint64_t Number(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

template <typename Handle>
Handle HandleOf(uint64_t number) {
  return reinterpret_cast<Handle>(static_cast<uintptr_t>(number));
}

bool IsAgentHandle(const ValueRecord& record) {
  return record.link != 0 && record.wire.tag == WireValue::Tag::kHandle;
}

template <typename Map, typename Match>
void EraseIf(Map& map, Match match) {
  for (auto it = map.begin(); it != map.end();) {
    it = match(*it) ? map.erase(it) : std::next(it);
  }
}

}  // namespace

void DebugLine(const std::string& line) {
  std::u16string text;
  Utf16Of(line + "\n", text);
  OutputDebugStringW(text.c_str());
}

Session& Session::Get() {
  static Session* session = new Session();
  return *session;
}

AgentLink* Session::AddLink(int socket) {
  const size_t waiting = std::count_if(m_links.begin(), m_links.end(), [](const auto& entry) {
    return entry.second->IsOpen() && !entry.second->Authenticated();
  });
  if (waiting >= AgentLink::kMaxUnauthenticated) {
    close(socket);
    return nullptr;
  }
  const uint64_t id = m_nextLink++;
  auto link = std::make_unique<AgentLink>(*this, id, socket);
  link->SetWaitLimit(waitMilliseconds);
  link->Watch();
  return m_links.emplace(id, std::move(link)).first->second.get();
}

void Session::SetWaitLimits(int milliseconds) {
  waitMilliseconds = milliseconds;
  for (const auto& [id, link] : m_links) link->SetWaitLimit(milliseconds);
}

AgentLink* Session::Link(uint64_t id) {
  const auto found = m_links.find(id);
  return found == m_links.end() ? nullptr : found->second.get();
}

AgentLink* Session::NewestLink() {
  std::vector<uint64_t> ids;
  for (const auto& [id, link] : m_links) ids.push_back(id);
  for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
    AgentLink* link = Link(*id);
    if (!link) continue;
    // What has arrived is served first, so an agent that has gone is known to be gone.
    pollfd readable{link->Socket(), POLLIN, 0};
    if (link->IsOpen() && (link->HasPendingInput() || poll(&readable, 1, 0) > 0)) {
      link->ServeAvailable();
    }
    if (link->IsOpen() && link->Authenticated()) return link;
  }
  return nullptr;
}

void Session::LinkClosed(uint64_t id) {
  EraseIf(m_values, [id](const auto& entry) { return entry.second.link == id; });
  EraseIf(m_contexts, [id](const auto& entry) { return entry.second.link == id; });
  EraseIf(m_contextHandles, [id](const auto& entry) { return entry.first.first == id; });
  EraseIf(m_stableValues, [id](const auto& entry) { return entry.first.first == id; });
  EraseIf(privateData, [id](const auto& entry) { return entry.first.first == id; });
  EraseIf(mainFrameContexts,
          [this](const auto& entry) { return !m_contexts.count(Number(entry.second)); });
}

js::JSGlobalContextRef Session::AddContext(uint64_t link, uint64_t agentContext,
                                           const WireValue& global, uint64_t page) {
  DropContextOf(link, agentContext);
  const uint64_t handle = NextHandle();
  m_contexts[handle] = {handle, link, agentContext, nullptr, page};
  m_contextHandles[{link, agentContext}] = handle;
  const auto context = HandleOf<js::JSGlobalContextRef>(handle);
  if (global.tag == WireValue::Tag::kHandle) {
    m_contexts[handle].global = const_cast<js::JSObjectRef>(Adopt(link, context, global));
  }
  return context;
}

js::JSGlobalContextRef Session::ContextOf(uint64_t link, uint64_t agentContext) {
  const auto found = m_contextHandles.find({link, agentContext});
  if (found != m_contextHandles.end()) return HandleOf<js::JSGlobalContextRef>(found->second);
  return AddContext(link, agentContext, WireValue(), 0);
}

const ContextRecord* Session::FindContext(js::JSContextRef context) const {
  const auto found = m_contexts.find(Number(context));
  return found == m_contexts.end() ? nullptr : &found->second;
}

void Session::DropContext(js::JSContextRef context) {
  const auto found = m_contexts.find(Number(context));
  if (found == m_contexts.end()) return;
  const ContextRecord record = found->second;
  m_contexts.erase(found);
  m_contextHandles.erase({record.link, record.agentContext});
  for (auto it = m_values.begin(); it != m_values.end();) {
    if (it->second.context != record.handle) {
      ++it;
      continue;
    }
    const std::pair<uint64_t, uint64_t> key{record.link, it->second.wire.handle};
    if (IsAgentHandle(it->second) && it->second.wire.stable) {
      m_stableValues.erase(key);
      privateData.erase(key);
    }
    it = m_values.erase(it);
  }
  EraseIf(mainFrameContexts,
          [&](const auto& entry) { return Number(entry.second) == record.handle; });
}

void Session::DropContextOf(uint64_t link, uint64_t agentContext) {
  const auto found = m_contextHandles.find({link, agentContext});
  if (found != m_contextHandles.end()) DropContext(HandleOf<js::JSContextRef>(found->second));
}

js::JSValueRef Session::AddValue(ValueRecord record) {
  const uint64_t handle = NextHandle();
  ValueRecord& stored = m_values.emplace(handle, std::move(record)).first->second;
  MarkPending(handle, stored);
  return HandleOf<js::JSValueRef>(handle);
}

void Session::MarkPending(uint64_t handle, ValueRecord& record) {
  record.pending = true;
  if (m_depth > 0) {
    m_pendingScoped.push_back(handle);
    return;
  }
  m_pendingLoose.push_back(handle);
  ScheduleIdleFlush();
}

js::JSValueRef Session::MakeValue(js::JSContextRef context, const WireValue& wire) {
  return AddValue({0, Number(context), wire, 0, false});
}

js::JSValueRef Session::Adopt(uint64_t link, js::JSContextRef context, const WireValue& wire) {
  if (wire.tag != WireValue::Tag::kHandle) return MakeValue(context, wire);
  if (!wire.stable) return AddValue({link, Number(context), wire, 0, false});
  const std::pair<uint64_t, uint64_t> key{link, wire.handle};
  const auto known = m_stableValues.find(key);
  if (known != m_stableValues.end() && m_values.count(known->second)) {
    return HandleOf<js::JSValueRef>(known->second);
  }
  // An object that keeps its number stays known until its context or page goes.
  const uint64_t handle = NextHandle();
  m_values.emplace(handle, ValueRecord{link, Number(context), wire, 0, false});
  m_stableValues[key] = handle;
  return HandleOf<js::JSValueRef>(handle);
}

const ValueRecord* Session::FindValue(js::JSValueRef value) const {
  const auto found = m_values.find(Number(value));
  return found == m_values.end() ? nullptr : &found->second;
}

bool Session::Encode(js::JSValueRef value, uint64_t link, WireValue& wire) const {
  wire = WireValue();
  if (!value) return true;
  const ValueRecord* record = FindValue(value);
  if (!record) return false;
  if (!IsAgentHandle(*record)) {
    wire = record->wire;
    return true;
  }
  if (record->link != link) return false;
  wire.tag = WireValue::Tag::kReference;
  wire.handle = record->wire.handle;
  return true;
}

void Session::Protect(js::JSValueRef value, int change) {
  const auto found = m_values.find(Number(value));
  if (found == m_values.end()) return;
  ValueRecord& record = found->second;
  if (IsAgentHandle(record) && record.wire.stable) return;
  record.protections = std::max(0, record.protections + change);
  if (record.protections == 0 && !record.pending) MarkPending(found->first, record);
}

js::JSValueRef Session::Failure(js::JSContextRef context, const char* message) {
  WireValue wire;
  wire.tag = WireValue::Tag::kString;
  wire.string.assign(message, message + std::char_traits<char>::length(message));
  return MakeValue(context, wire);
}

std::optional<std::string> Session::Ask(ContextRecord context, Operation operation,
                                        const std::string& arguments, js::JSValueRef* exception) {
  const auto ctx = HandleOf<js::JSContextRef>(context.handle);
  const auto fail = [&](const char* message) -> std::optional<std::string> {
    if (exception) *exception = Failure(ctx, message);
    return std::nullopt;
  };
  AgentLink* link = Link(context.link);
  if (!link || !link->IsOpen()) return fail("Error: the page is gone");
  // A page that let a call wait past the limit gets no new call to wait on until it has
  // answered again, so one stalled page never stalls Trawler twice.
  if (link->Stalled() && link->ServeAvailable() && link->Stalled()) {
    return fail("Error: the page is busy");
  }
  if (!link->IsOpen()) return fail("Error: the page is gone");
  // Calls posted before this one go first, as their order says.
  link->FlushPosts();
  ++statistics.requests;
  std::string reply;
  switch (link->Call(operation, arguments, reply)) {
    case Endpoint::CallResult::kTimedOut:
      DebugLine("trawler: the page did not answer a script call in time");
      return fail("Error: the page did not answer in time");
    case Endpoint::CallResult::kClosed:
      return fail("Error: the page is gone");
    case Endpoint::CallResult::kTooLarge:
      return fail("Error: the value is too large to send to the page");
    case Endpoint::CallResult::kReplied:
      break;
  }
  Reader reader(reply);
  uint8_t status = 0;
  if (!reader.U8(status)) return fail("Error: the page's answer does not decode");
  if (status == static_cast<uint8_t>(Status::kOk)) return reply.substr(1);
  WireValue thrown;
  if (!reader.Value(thrown) || !reader.Done())
    return fail("Error: the page's answer does not decode");
  if (exception) *exception = Adopt(context.link, ctx, thrown);
  return std::nullopt;
}

uint32_t Session::CallbackId(js::JSObjectCallAsFunctionCallback callback) {
  for (size_t i = 0; i < m_callbacks.size(); ++i) {
    if (m_callbacks[i] == callback) return static_cast<uint32_t>(i + 1);
  }
  m_callbacks.push_back(callback);
  return static_cast<uint32_t>(m_callbacks.size());
}

js::JSObjectCallAsFunctionCallback Session::Callback(uint32_t id) const {
  return id >= 1 && id <= m_callbacks.size() ? m_callbacks[id - 1] : nullptr;
}

uint32_t Session::ReporterId(js::JSPostedCallExceptionCallback reporter) {
  if (!reporter) return 0;
  const auto found = std::find(m_reporters.begin(), m_reporters.end(), reporter);
  if (found != m_reporters.end()) return static_cast<uint32_t>(found - m_reporters.begin() + 1);
  m_reporters.push_back(reporter);
  return static_cast<uint32_t>(m_reporters.size());
}

js::JSPostedCallExceptionCallback Session::Reporter(uint32_t id) const {
  return id >= 1 && id <= m_reporters.size() ? m_reporters[id - 1] : nullptr;
}

js::JSContextRef Session::KnownContext(uint64_t link, uint64_t agentContext) const {
  const auto found = m_contextHandles.find({link, agentContext});
  return found == m_contextHandles.end() ? nullptr : HandleOf<js::JSContextRef>(found->second);
}

void Session::SchedulePostFlush() {
  if (m_postFlush) return;
  // A source that is never ready: its prepare step runs once per iteration of the main
  // context, after everything the iteration dispatched and before it polls, so what was
  // posted in one iteration goes out in one write.
  static GSourceFuncs functions = {
      [](GSource*, gint* timeout) {
        *timeout = -1;
        Get().FlushPosts();
        return gboolean(FALSE);
      },
      nullptr,
      [](GSource*, GSourceFunc, gpointer) { return gboolean(G_SOURCE_CONTINUE); },
      nullptr,
      nullptr,
      nullptr};
  m_postFlush = g_source_new(&functions, sizeof(GSource));
  g_source_attach(m_postFlush, nullptr);
}

void Session::FlushPosts() {
  for (const auto& [id, link] : m_links) link->FlushPosts();
}

void Session::LeaveScope() {
  if (--m_depth > 0) return;
  Flush(std::exchange(m_looseFlushDue, false));
}

void Session::Flush(bool everything) {
  std::vector<uint64_t> handles;
  handles.swap(m_pendingScoped);
  if (everything) handles.insert(handles.end(), m_pendingLoose.begin(), m_pendingLoose.end());
  if (everything) m_pendingLoose.clear();
  std::map<uint64_t, std::vector<uint64_t>> releases;
  for (uint64_t handle : handles) {
    const auto found = m_values.find(handle);
    if (found == m_values.end() || !found->second.pending) continue;
    found->second.pending = false;
    if (found->second.protections > 0) continue;
    if (IsAgentHandle(found->second))
      releases[found->second.link].push_back(found->second.wire.handle);
    m_values.erase(found);
  }
  for (const auto& [linkId, agentHandles] : releases) {
    AgentLink* link = Link(linkId);
    if (!link || !link->IsOpen()) continue;
    // A posted call may name a value given back here: the calls go first.
    link->FlushPosts();
    std::string arguments;
    Writer writer(arguments);
    writer.U32(static_cast<uint32_t>(agentHandles.size()));
    for (uint64_t agentHandle : agentHandles) writer.U64(agentHandle);
    link->Notify(Operation::kReleaseHandles, arguments);
  }
  CollectLinks();
}

void Session::ScheduleIdleFlush() {
  if (m_idleFlushScheduled) return;
  m_idleFlushScheduled = true;
  g_idle_add(
      [](gpointer) {
        Session& session = Get();
        session.m_idleFlushScheduled = false;
        // Inside a scope (a nested main loop), the flush waits for the scope to close.
        if (session.m_depth > 0) {
          session.m_looseFlushDue = true;
        } else {
          session.Flush(true);
        }
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

void Session::CollectLinks() {
  // A link whose call or serving is under way is still on the stack.
  EraseIf(m_links, [this](const auto& entry) {
    const bool gone = !entry.second->IsOpen() && !entry.second->Busy();
    if (gone) {
      m_goneLinks.framesSent += entry.second->FramesSent();
      m_goneLinks.framesReceived += entry.second->FramesReceived();
    }
    return gone;
  });
}

Statistics Session::Counts() const {
  Statistics counts = statistics;
  counts.liveStrings = liveStrings;
  counts.liveValues = m_values.size();
  counts.framesSent = m_goneLinks.framesSent;
  counts.framesReceived = m_goneLinks.framesReceived;
  for (const auto& [id, link] : m_links) {
    counts.framesSent += link->FramesSent();
    counts.framesReceived += link->FramesReceived();
    counts.stalledPages += link->IsOpen() && link->Stalled() ? 1 : 0;
  }
  return counts;
}

AgentLink::AgentLink(Session& session, uint64_t id, int socket)
    : Endpoint(socket), m_session(session), m_id(id) {
  // Trawler never waits for a page to take what it writes.
  SetNonBlockingWrites();
  SetInputLimit(kHelloBytes);
  m_helloDeadline = g_timeout_add(
      kHelloMilliseconds,
      [](gpointer id) {
        AgentLink* link = Session::Get().Link(reinterpret_cast<uintptr_t>(id));
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
        AgentLink* link = Session::Get().Link(reinterpret_cast<uintptr_t>(id));
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
  if (!IsOpen() || !FitsInFrame(call + "four")) return false;
  if (m_posts.size() + call.size() > kBatchBytes) FlushPosts();
  m_posts += call;
  ++m_postCount;
  ++m_session.statistics.posted;
  m_session.SchedulePostFlush();
  return true;
}

void AgentLink::FlushPosts() {
  if (m_postCount == 0) return;
  std::string batch;
  Writer(batch).U32(std::exchange(m_postCount, 0));
  batch += m_posts;
  m_posts.clear();
  Notify(Operation::kPostCalls, batch);
}

void AgentLink::OutputPending() {
  if (m_outputWatch) return;
  // The page takes nothing now; the rest goes whenever it can take more.
  m_outputWatch = g_unix_fd_add(
      Socket(), G_IO_OUT,
      [](gint, GIOCondition, gpointer id) {
        AgentLink* link = Session::Get().Link(reinterpret_cast<uintptr_t>(id));
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
        AgentLink* link = Session::Get().Link(reinterpret_cast<uintptr_t>(id));
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
  m_session.DropContextOf(m_id, context);
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
  const js::JSContextRef context = m_session.KnownContext(m_id, agentContext);
  const js::JSPostedCallExceptionCallback report = m_session.Reporter(reporter);
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
  if (token != std::u16string(m_session.token.begin(), m_session.token.end())) {
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
  const js::JSGlobalContextRef context = m_session.AddContext(m_id, agentContext, global, page);
  if (mainFrame) m_session.mainFrameContexts[page] = context;
  if (m_session.windowObjectHandler) {
    m_session.windowObjectHandler(page, frame, mainFrame != 0, context,
                                  m_session.FindContext(context)->global);
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
  js::JSObjectCallAsFunctionCallback callback = nullptr;
  if (operation == Operation::kCallCallback) {
    callback = m_session.Callback(target);
  } else if (const auto found = m_session.classes.find(target);
             found != m_session.classes.end() && index < found->second->functions.size()) {
    callback = found->second->functions[index].second;
  }
  const js::JSGlobalContextRef context = m_session.ContextOf(m_id, agentContext);
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
  if (!m_session.Encode(exception ? exception : result, m_id, answer)) answer = WireValue();
  Writer(reply)
      .U8(static_cast<uint8_t>(exception ? Status::kException : Status::kOk))
      .Value(answer);
  return true;
}

}  // namespace remote_script

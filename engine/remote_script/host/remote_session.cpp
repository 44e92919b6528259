#include "engine/remote_script/host/remote_session.h"

#include "engine/remote_script/protocol/text.h"
#include "platform/win32.h"

#include <algorithm>
#include <map>
#include <vector>

namespace remote_script {

void DebugLine(const std::string& line) {
  std::u16string text;
  Utf16Of(line + "\n", text);
  OutputDebugStringW(text.c_str());
}

Session& Session::Get() {
  static Session* session = new Session();
  return *session;
}

js::JSValueRef Session::Pending(uint64_t handle) {
  m_handles.FindValue(handle)->pending = true;
  m_releases.Add(handle);
  return HandleOf<js::JSValueRef>(handle);
}

js::JSValueRef Session::MakeValue(js::JSContextRef context, const WireValue& wire) {
  return Pending(m_handles.AddValue({0, Number(context), wire, 0, false}));
}

js::JSValueRef Session::Adopt(uint64_t link, js::JSContextRef context, const WireValue& wire) {
  bool fresh = false;
  const uint64_t handle = m_handles.Adopt(link, context, wire, fresh);
  return fresh ? Pending(handle) : HandleOf<js::JSValueRef>(handle);
}

void Session::Protect(js::JSValueRef value, int change) {
  ValueRecord* record = m_handles.FindValue(Number(value));
  // Objects that keep their number are never given back.
  if (!record ||
      (record->link && record->wire.tag == WireValue::Tag::kHandle && record->wire.stable)) {
    return;
  }
  record->protections = std::max(0, record->protections + change);
  if (record->protections == 0 && !record->pending) Pending(Number(value));
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
  AgentLink* link = m_links.Find(context.link);
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

void Session::Flush(bool everything) {
  std::map<uint64_t, std::vector<uint64_t>> releases;
  for (uint64_t handle : m_releases.TakeDue(everything)) {
    uint64_t link = 0, agentHandle = 0;
    if (m_handles.Release(handle, link, agentHandle) && agentHandle) {
      releases[link].push_back(agentHandle);
    }
  }
  for (const auto& [linkId, agentHandles] : releases) {
    AgentLink* link = m_links.Find(linkId);
    if (!link || !link->IsOpen()) continue;
    // A posted call may name a value given back here: the calls go first.
    link->FlushPosts();
    std::string arguments;
    Writer writer(arguments);
    writer.U32(static_cast<uint32_t>(agentHandles.size()));
    for (uint64_t agentHandle : agentHandles) writer.U64(agentHandle);
    link->Notify(Operation::kReleaseHandles, arguments);
  }
  m_links.Collect();
}

void Session::LinkClosed(uint64_t link) { m_handles.DropLink(link); }

Statistics Session::Counts() const {
  Statistics counts = statistics;
  counts.liveStrings = m_liveStrings;
  counts.liveValues = m_handles.ValueCount();
  m_links.AddCounts(counts);
  return counts;
}

}  // namespace remote_script

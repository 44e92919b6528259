#pragma once

// Trawler's side of the script connections, put together from parts that each keep their
// own rules: the links to page agents, the handles of contexts and values, the batch that
// gives values back, and the native classes and functions. The session adds what needs
// more than one part: calls that wait for an agent, values made here, and the giving back
// of values to their agents. Strings stay in this process. On the UI thread only.

#include "bridge/script_engine.h"
#include "engine/remote_script/host/handle_table.h"
#include "engine/remote_script/host/link_table.h"
#include "engine/remote_script/host/native_callbacks.h"
#include "engine/remote_script/host/release_batch.h"
#include "engine/remote_script/host/remote_script.h"

#include <optional>
#include <string>

namespace remote_script {

// A line of debug output (the line feed is added).
void DebugLine(const std::string& line);

struct StringRecord {
  int references = 1;
  std::u16string text;
};

class Session {
 public:
  static Session& Get();

  LinkTable& Links() { return m_links; }
  HandleTable& Handles() { return m_handles; }
  NativeCallbacks& Natives() { return m_natives; }
  // Told of each frame's new window object.
  const WindowObjectHandler& OnWindowObject() const { return m_windowObjectHandler; }
  void SetWindowObjectHandler(WindowObjectHandler handler) {
    m_windowObjectHandler = std::move(handler);
  }

  // Values made here or adopted from an agent; given back when their scope closes (or at
  // idle), unless protected.
  js::JSValueRef MakeValue(js::JSContextRef context, const WireValue& wire);
  js::JSValueRef Adopt(uint64_t link, js::JSContextRef context, const WireValue& wire);
  void Protect(js::JSValueRef value, int change);
  // A value whose string form says what went wrong, as a script exception would.
  js::JSValueRef Failure(js::JSContextRef context, const char* message);

  // Calls to agents. The answer follows a kOk status; an exception, a timeout, a stalled or
  // lost page gives none, and *exception (when given) a value that says why.
  std::optional<std::string> Ask(ContextRecord context, Operation operation,
                                 const std::string& arguments, js::JSValueRef* exception);

  void EnterScope() { m_releases.EnterScope(); }
  void LeaveScope() { m_releases.LeaveScope(); }
  // Gives back the values that are due (everything: those obtained outside scopes too) and
  // lets links that went go.
  void Flush(bool everything);
  // Everything of the link's agent goes.
  void LinkClosed(uint64_t link);

  void StringMade() { ++m_liveStrings; }
  void StringReleased() { --m_liveStrings; }
  // Counted by the parts as they work.
  Statistics statistics;
  Statistics Counts() const;

 private:
  Session() : m_releases([](bool everything) { Get().Flush(everything); }) {}
  js::JSValueRef Pending(uint64_t handle);

  LinkTable m_links;
  HandleTable m_handles;
  ReleaseBatch m_releases;
  NativeCallbacks m_natives;
  WindowObjectHandler m_windowObjectHandler;
  uint64_t m_liveStrings = 0;
};

}  // namespace remote_script

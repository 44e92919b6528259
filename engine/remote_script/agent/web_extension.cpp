// The page agent as a WebKitGTK web extension, loaded into the UI page's web process. It
// connects to Trawler with the address and token it was given, reports each frame's new
// window object (and waits, so "service" exists before the page's own scripts run), and
// serves Trawler's requests from the web process's main loop. A connection that is lost
// while the process lives is made again, with growing pauses, and the pages it served are
// loaded again, so that Trawler installs "service" anew and hands them their rows.

#include "engine/remote_script/agent/page_agent.h"
#include "engine/remote_script/protocol/sockets.h"

#include <glib-unix.h>
#include <webkit2/webkit-web-extension.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

namespace {

using page_agent::PageAgent;

constexpr guint kFirstRetryMilliseconds = 100;
constexpr guint kLongestRetryMilliseconds = 5000;

class ExtensionAgent;

// What the extension keeps for the life of the process.
struct Extension {
  std::string address;
  std::string token;
  std::unique_ptr<ExtensionAgent> agent;
  // The script context of each page's main frame, kept so that the page can be loaded
  // again from its own script.
  std::map<uint64_t, JSGlobalContextRef> pages;
  bool connectedBefore = false;
  guint retryPause = 0;
  guint retry = 0;
};

Extension& TheExtension() {
  static Extension* extension = new Extension();
  return *extension;
}

void Connect();

// Connects again after a pause that doubles with each try, up to kLongestRetryMilliseconds.
void ScheduleConnect() {
  Extension& extension = TheExtension();
  if (extension.retry) return;
  extension.retry = g_timeout_add(
      extension.retryPause,
      [](gpointer) {
        TheExtension().retry = 0;
        Connect();
        return gboolean(G_SOURCE_REMOVE);
      },
      nullptr);
  extension.retryPause =
      std::clamp(extension.retryPause * 2, kFirstRetryMilliseconds, kLongestRetryMilliseconds);
}

// The agent of this process: frames that arrived behind a reply are served at the next
// idle moment; a lost connection is made again.
class ExtensionAgent : public PageAgent {
 public:
  using PageAgent::PageAgent;
  ~ExtensionAgent() override {
    if (m_watch) g_source_remove(m_watch);
  }

  void ServeFromMainLoop() {
    m_accepted = true;
    m_watch = g_unix_fd_add(
        Socket(), GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
        [](gint, GIOCondition, gpointer self) {
          auto* agent = static_cast<ExtensionAgent*>(self);
          if (agent->ServeAvailable()) return gboolean(G_SOURCE_CONTINUE);
          agent->m_watch = 0;
          return gboolean(G_SOURCE_REMOVE);
        },
        this);
  }

 protected:
  void InputPending() override {
    g_idle_add(
        [](gpointer) {
          ExtensionAgent* agent = TheExtension().agent.get();
          if (agent && agent->IsOpen()) agent->ServeAvailable();
          return gboolean(G_SOURCE_REMOVE);
        },
        nullptr);
  }
  // Only a connection Trawler took is made again; one it refused stays refused.
  void Closed() override {
    if (m_accepted) ScheduleConnect();
  }

 private:
  guint m_watch = 0;
  bool m_accepted = false;
};

// Loads the page again, from its own script: its new window object is then reported on
// the new connection.
void Reload(JSGlobalContextRef context) {
  JSStringRef script = JSStringCreateWithUTF8CString("location.reload()");
  JSEvaluateScript(context, script, nullptr, nullptr, 1, nullptr);
  JSStringRelease(script);
}

// Keeps the page's main-frame context (null: forgets the page).
void KeepPage(uint64_t page, JSGlobalContextRef context) {
  auto& pages = TheExtension().pages;
  const auto earlier = pages.find(page);
  if (earlier != pages.end()) {
    JSGlobalContextRelease(earlier->second);
    pages.erase(earlier);
  }
  if (!context) return;
  JSGlobalContextRetain(context);
  pages[page] = context;
}

void Connect() {
  Extension& extension = TheExtension();
  // The agent that lost its connection goes here, outside its own callbacks.
  const bool again = extension.connectedBefore;
  extension.agent.reset();
  const int socket = remote_script::ConnectTo(extension.address);
  if (socket < 0) {
    if (again) {
      ScheduleConnect();
    } else {
      g_warning("trawler page agent: cannot connect to %s", extension.address.c_str());
    }
    return;
  }
  auto agent = std::make_unique<ExtensionAgent>(socket);
  if (!agent->Hello(extension.token)) {
    g_warning("trawler page agent: Trawler did not take the connection");
    return;
  }
  agent->ServeFromMainLoop();
  extension.agent = std::move(agent);
  extension.retryPause = 0;
  extension.connectedBefore = true;
  if (!again) return;
  const std::map<uint64_t, JSGlobalContextRef> pages = extension.pages;
  for (const auto& [page, context] : pages) Reload(context);
}

void WindowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer) {
  // The C API needs exactly this context; the call is deprecated but is the way to it.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  JSGlobalContextRef context = webkit_frame_get_javascript_global_context(frame);
  G_GNUC_END_IGNORE_DEPRECATIONS
  const uint64_t pageId = webkit_web_page_get_id(page);
  const bool mainFrame = webkit_frame_is_main_frame(frame);
  if (mainFrame) KeepPage(pageId, context);
  ExtensionAgent* agent = TheExtension().agent.get();
  if (agent) agent->WindowObjectCleared(pageId, webkit_frame_get_id(frame), mainFrame, context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension*, const GVariant* data) {
  auto* variant = const_cast<GVariant*>(data);
  if (!variant || !g_variant_is_of_type(variant, G_VARIANT_TYPE("(ss)"))) return;
  const char* address = nullptr;
  const char* token = nullptr;
  g_variant_get(variant, "(&s&s)", &address, &token);
  Extension& extension = TheExtension();
  extension.address = address;
  extension.token = token;
  Connect();
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(WindowObjectCleared), nullptr);
}

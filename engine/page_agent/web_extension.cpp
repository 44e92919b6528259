// The page agent as a WebKitGTK web extension, loaded into the UI page's web process. It
// connects to Trawler with the address and token it was given, reports each frame's new
// window object (and waits, so "service" exists before the page's own scripts run), and
// serves Trawler's requests from the web process's main loop.

#include "engine/page_agent/page_agent.h"
#include "engine/remote_script/sockets.h"

#include <glib-unix.h>
#include <webkit2/webkit-web-extension.h>

namespace {

using page_agent::PageAgent;

// The agent of this process: frames that arrived behind a reply are served at the next
// idle moment.
class ExtensionAgent : public PageAgent {
 public:
  using PageAgent::PageAgent;

  void ServeFromMainLoop() {
    g_unix_fd_add(
        Socket(), GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
        [](gint, GIOCondition, gpointer self) {
          return gboolean(static_cast<ExtensionAgent*>(self)->ServeAvailable() ? G_SOURCE_CONTINUE
                                                                               : G_SOURCE_REMOVE);
        },
        this);
  }

 protected:
  void InputPending() override {
    g_idle_add(
        [](gpointer self) {
          auto* agent = static_cast<ExtensionAgent*>(self);
          if (agent->IsOpen()) agent->ServeAvailable();
          return gboolean(G_SOURCE_REMOVE);
        },
        this);
  }
};

void WindowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame,
                         gpointer agent) {
  // The C API needs exactly this context; the call is deprecated but is the way to it.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  JSGlobalContextRef context = webkit_frame_get_javascript_global_context(frame);
  G_GNUC_END_IGNORE_DEPRECATIONS
  static_cast<ExtensionAgent*>(agent)->WindowObjectCleared(
      webkit_web_page_get_id(page), webkit_frame_get_id(frame), webkit_frame_is_main_frame(frame),
      context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension*, const GVariant* data) {
  auto* variant = const_cast<GVariant*>(data);
  if (!variant || !g_variant_is_of_type(variant, G_VARIANT_TYPE("(ss)"))) return;
  const char* address = nullptr;
  const char* token = nullptr;
  g_variant_get(variant, "(&s&s)", &address, &token);
  const int socket = remote_script::ConnectTo(address);
  if (socket < 0) {
    g_warning("trawler page agent: cannot connect to %s", address);
    return;
  }
  // The agent lives as long as the process.
  auto* agent = new ExtensionAgent(socket);
  if (!agent->Hello(token)) {
    g_warning("trawler page agent: Trawler did not take the connection");
    return;
  }
  agent->ServeFromMainLoop();
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(WindowObjectCleared), agent);
}

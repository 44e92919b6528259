#include "platform/gtk/backend_gtk.h"

#include "platform/gtk/peer_widget.h"
#include "platform/gtk/window_peer_gtk.h"
#include "platform/layer_records.h"
#include "platform/text.h"

#include <unistd.h>

namespace platform::gtk {

bool EnsureToolkit() {
  static const bool started = [] {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    IgnoreErrorsOfGoneWindows();
    return true;
  }();
  return started;
}

std::unique_ptr<WindowPeer> GtkBackend::CreatePeer(HWND window, HWND parent,
                                                   const std::u16string& title) {
  if (!EnsureToolkit()) return nullptr;
  if (!parent) return std::make_unique<TopLevelPeer>(window, title);
  GtkPeer* parentPeer = PeerOf(parent);
  return parentPeer ? std::make_unique<ChildPeer>(window, *parentPeer) : nullptr;
}

bool GtkBackend::WaitForEvents() {
  // With no window and no dialog left and nothing ready, nothing could ever end the wait.
  if (LiveWindows().empty() && !m_dialogsShown && !g_main_context_pending(nullptr)) return false;
  g_main_context_iteration(nullptr, TRUE);
  return true;
}

bool GtkBackend::GetWorkArea(RECT& area) {
  if (!EnsureToolkit()) return false;
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
  // A display that names no primary monitor has its first one.
  if (!monitor && display) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return false;
  GdkRectangle work{};
  gdk_monitor_get_workarea(monitor, &work);
  area = {work.x, work.y, work.x + work.width, work.y + work.height};
  return true;
}

void GtkBackend::WriteDebugOutput(const std::u16string& text) {
  const std::string utf8 = Utf8(text);
  for (size_t written = 0; written < utf8.size();) {
    const ssize_t count = write(STDERR_FILENO, utf8.data() + written, utf8.size() - written);
    if (count <= 0) return;
    written += static_cast<size_t>(count);
  }
}

}  // namespace platform::gtk

platform::Backend& platform::GetBackend() {
  static gtk::GtkBackend backend;
  return backend;
}

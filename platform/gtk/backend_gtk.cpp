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

namespace {

struct TimerTarget {
  HWND window;
  UINT_PTR id;
};

gboolean PostTimer(gpointer data) {
  const auto* target = static_cast<const TimerTarget*>(data);
  // A window that is gone takes its timer with it.
  if (PostMessageW(target->window, WM_TIMER, target->id, 0)) return G_SOURCE_CONTINUE;
  KillTimer(target->window, target->id);
  return G_SOURCE_REMOVE;
}

void FreeTarget(gpointer data) { delete static_cast<TimerTarget*>(data); }

}  // namespace

bool GtkBackend::StartTimer(HWND window, UINT_PTR id, UINT elapse) {
  StopTimer(window, id);
  m_timers[{window, id}] = g_timeout_add_full(G_PRIORITY_DEFAULT, elapse, PostTimer,
                                              new TimerTarget{window, id}, FreeTarget);
  return true;
}

bool GtkBackend::StopTimer(HWND window, UINT_PTR id) {
  const auto found = m_timers.find({window, id});
  if (found == m_timers.end()) return false;
  const guint source = found->second;
  m_timers.erase(found);
  g_source_remove(source);
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

#include "platform/gtk/window_peer_gtk.h"

#include "platform/drops.h"
#include "platform/gtk/peer_widget.h"
#include "platform/gtk/signal_thunk.h"
#include "platform/layer_records.h"
#include "platform/text.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace platform::gtk {
namespace {

const char kUriList[] = "text/uri-list";

RECT BoundsOf(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record ? record->bounds : RECT{};
}

int Width(const RECT& bounds) { return bounds.right - bounds.left; }
int Height(const RECT& bounds) { return bounds.bottom - bounds.top; }

// Sizes a widget that lies in a GtkLayout at (x, y): by its request from now on, and at once.
// A layout allocates its children by their requests only while it is allocated itself, and
// the new size is often set just then (WM_SIZE comes from the client area's allocation),
// when a request alone would wait for the next event and the old picture would stay.
void SizeInLayout(GtkWidget* widget, int x, int y, int width, int height) {
  gtk_widget_set_size_request(widget, width, height);
  if (!gtk_widget_get_visible(widget)) return;
  GtkRequisition measured;
  gtk_widget_get_preferred_size(widget, &measured, nullptr);
  GtkAllocation allocation{x, y, std::max(width, measured.width),
                           std::max(height, measured.height)};
  gtk_widget_size_allocate(widget, &allocation);
}

// The image of an icon handle, loaded once from the file it names.
GdkPixbuf* IconPixbuf(HICON icon) {
  static std::map<HICON, GObjectPtr<GdkPixbuf>> pixbufs;
  if (!icon) return nullptr;
  auto found = pixbufs.find(icon);
  if (found == pixbufs.end()) {
    const std::string path = Utf8(IconImageOf(icon).path);
    GError* error = nullptr;
    GdkPixbuf* pixbuf = path.empty() ? nullptr : gdk_pixbuf_new_from_file(path.c_str(), &error);
    g_clear_error(&error);
    found = pixbufs.emplace(icon, GObjectPtr<GdkPixbuf>(pixbuf)).first;
  }
  return found->second.Get();
}

// The local paths among the dropped URIs, in order; other URIs are skipped.
std::vector<std::u16string> DroppedPaths(GtkSelectionData* data) {
  std::vector<std::u16string> paths;
  gchar** uris = gtk_selection_data_get_uris(data);
  for (gchar** uri = uris; uri && *uri; ++uri) {
    if (g_autofree gchar* path = g_filename_from_uri(*uri, nullptr, nullptr)) {
      paths.push_back(Utf16(path));
    }
  }
  g_strfreev(uris);
  return paths;
}

bool OffersUriList(GdkDragContext* context) {
  for (GList* target = gdk_drag_context_list_targets(context); target; target = target->next) {
    if (GDK_POINTER_TO_ATOM(target->data) == gdk_atom_intern_static_string(kUriList)) return true;
  }
  return false;
}

}  // namespace

GtkPeer* PeerOf(HWND window) {
  const WindowRecord* record = FindWindowRecord(window);
  return record ? dynamic_cast<GtkPeer*>(record->peer.get()) : nullptr;
}

GtkPeer::GtkPeer(HWND window) : m_window(window), m_clientArea(gtk_layout_new(nullptr, nullptr)) {
  gtk_widget_show(m_clientArea.Get());
}

GtkPeer::~GtkPeer() = default;

void GtkPeer::TakeOutContent() {
  if (m_content) gtk_container_remove(GTK_CONTAINER(ClientArea()), m_content.Get());
  m_content.Reset();
}

void GtkPeer::Place(GtkWidget* widget) {
  m_content = GObjectPtr<GtkWidget>(GTK_WIDGET(g_object_ref(widget)));
  gtk_layout_put(ClientArea(), widget, 0, 0);
  const RECT bounds = BoundsOf(m_window);
  FitContent(Width(bounds), Height(bounds));
  gtk_widget_show(widget);
}

void GtkPeer::FitContent(int width, int height) {
  if (m_content) SizeInLayout(m_content.Get(), 0, 0, width, height);
}

TopLevelPeer::TopLevelPeer(HWND window, const std::u16string& title)
    : GtkPeer(window), m_gtkWindow(GTK_WIDGET(g_object_ref(gtk_window_new(GTK_WINDOW_TOPLEVEL)))) {
  gtk_container_add(GTK_CONTAINER(m_gtkWindow.Get()), m_clientArea.Get());
  // A group of its own: a dialog modal to another window never blocks this one.
  GObjectPtr<GtkWindowGroup> group(gtk_window_group_new());
  gtk_window_group_add_window(group.Get(), TopLevel());
  SetTitle(title);
  const RECT bounds = BoundsOf(window);
  gtk_window_set_default_size(TopLevel(), Width(bounds), Height(bounds));
  gtk_window_move(TopLevel(), bounds.left, bounds.top);
  ConnectEvents();
}

TopLevelPeer::~TopLevelPeer() {
  // No handler may run on this peer once it is gone.
  g_signal_handlers_disconnect_by_data(m_gtkWindow.Get(), this);
  g_signal_handlers_disconnect_by_data(m_clientArea.Get(), this);
  TakeOutContent();
  gtk_widget_destroy(m_gtkWindow.Get());
}

void TopLevelPeer::ConnectEvents() {
  GtkWidget* window = m_gtkWindow.Get();
  // The window closes the Win32 way: WM_CLOSE, whose default processing destroys it. A
  // native window destroyed from outside counts as a request to close too.
  ConnectSignal<&TopLevelPeer::OnCloseRequest>(window, "delete-event", this);
  ConnectSignal<&TopLevelPeer::OnCloseRequest>(window, "destroy-event", this);
  ConnectSignal<&TopLevelPeer::OnClientAllocated>(m_clientArea.Get(), "size-allocate", this);
  ConnectSignal<&TopLevelPeer::OnConfigure>(window, "configure-event", this);
  ConnectSignal<&TopLevelPeer::OnWindowState>(window, "window-state-event", this);
  ConnectSignal<&TopLevelPeer::OnFocusIn>(window, "focus-in-event", this);
  ConnectSignal<&TopLevelPeer::OnFocusOut>(window, "focus-out-event", this);
  // Files dropped on a window that accepts them (DragAcceptFiles) arrive as WM_DROPFILES.
  static const GtkTargetEntry uriList = {const_cast<gchar*>(kUriList), 0, 0};
  gtk_drag_dest_set(window, GTK_DEST_DEFAULT_HIGHLIGHT, &uriList, 1, GDK_ACTION_COPY);
  ConnectSignal<&TopLevelPeer::OnDragMotion>(window, "drag-motion", this);
  ConnectSignal<&TopLevelPeer::OnDragDrop>(window, "drag-drop", this);
  ConnectSignal<&TopLevelPeer::ReceiveDrop>(window, "drag-data-received", this);
}

gboolean TopLevelPeer::OnCloseRequest(GtkWidget*, GdkEvent*) {
  SendMessageW(m_window, WM_CLOSE, 0, 0);
  return TRUE;
}

void TopLevelPeer::OnClientAllocated(GtkWidget*, GdkRectangle* allocation) {
  FitContent(allocation->width, allocation->height);
  ClientAreaResized(m_window, allocation->width, allocation->height);
}

gboolean TopLevelPeer::OnConfigure(GtkWidget*, GdkEventConfigure* event) {
  WindowMoved(m_window, event->x, event->y);
  return FALSE;
}

gboolean TopLevelPeer::OnWindowState(GtkWidget*, GdkEventWindowState* event) {
  if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    MinimizedChanged(m_window, event->new_window_state & GDK_WINDOW_STATE_ICONIFIED);
  }
  return FALSE;
}

gboolean TopLevelPeer::OnFocusIn(GtkWidget*, GdkEvent*) {
  SendMessageW(m_window, WM_SETFOCUS, 0, 0);
  return FALSE;
}

gboolean TopLevelPeer::OnFocusOut(GtkWidget*, GdkEvent*) {
  SendMessageW(m_window, WM_KILLFOCUS, 0, 0);
  return FALSE;
}

gboolean TopLevelPeer::OnDragMotion(GtkWidget*, GdkDragContext* context, gint, gint, guint time) {
  const bool takes = AcceptsFiles(m_window) && OffersUriList(context);
  gdk_drag_status(context, takes ? GDK_ACTION_COPY : GdkDragAction(0), time);
  return gboolean(takes);
}

gboolean TopLevelPeer::OnDragDrop(GtkWidget* widget, GdkDragContext* context, gint, gint,
                                  guint time) {
  if (!AcceptsFiles(m_window) || !OffersUriList(context)) return FALSE;
  gtk_drag_get_data(widget, context, gdk_atom_intern_static_string(kUriList), time);
  return TRUE;
}

void TopLevelPeer::ReceiveDrop(GtkWidget*, GdkDragContext* context, gint, gint,
                               GtkSelectionData* data, guint, guint time) {
  const std::vector<std::u16string> paths =
      AcceptsFiles(m_window) ? DroppedPaths(data) : std::vector<std::u16string>();
  gtk_drag_finish(context, !paths.empty(), FALSE, time);
  if (paths.empty()) return;
  // Win32 posts the drop; the window procedure releases it with DragFinish.
  const HDROP drop = CreateDrop(paths);
  if (!PostMessageW(m_window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) DragFinish(drop);
}

void TopLevelPeer::SetTitle(const std::u16string& title) {
  gtk_window_set_title(TopLevel(), Utf8(title).c_str());
}

void TopLevelPeer::SetVisible(bool visible) {
  if (!visible) {
    gtk_widget_hide(m_gtkWindow.Get());
    return;
  }
  const WindowRecord* record = FindWindowRecord(m_window);
  if (record && record->minimized) {
    gtk_window_iconify(TopLevel());
  } else {
    gtk_window_deiconify(TopLevel());
  }
  gtk_widget_show(m_gtkWindow.Get());
}

void TopLevelPeer::SetBounds(const RECT& bounds) {
  gtk_window_move(TopLevel(), bounds.left, bounds.top);
  gtk_window_resize(TopLevel(), std::max(Width(bounds), 1), std::max(Height(bounds), 1));
}

void TopLevelPeer::SetIcon(WPARAM, HICON) {
  // The icon list holds the big and the small icon together.
  const WindowRecord* record = FindWindowRecord(m_window);
  if (!record) return;
  // The big and the small icon first, then every other size of the big one's resource, so
  // that the desktop has a large image where it shows one.
  std::vector<HICON> chosen{record->bigIcon, record->smallIcon};
  for (HICON icon : IconFamilyOf(record->bigIcon)) {
    if (std::find(chosen.begin(), chosen.end(), icon) == chosen.end()) chosen.push_back(icon);
  }
  GList* icons = nullptr;
  for (HICON icon : chosen) {
    if (GdkPixbuf* pixbuf = IconPixbuf(icon)) icons = g_list_append(icons, pixbuf);
  }
  gtk_window_set_icon_list(TopLevel(), icons);
  g_list_free(icons);
}

ChildPeer::ChildPeer(HWND window, GtkPeer& parent) : GtkPeer(window), m_parent(parent) {
  const RECT bounds = BoundsOf(window);
  gtk_widget_hide(m_clientArea.Get());
  gtk_layout_put(parent.ClientArea(), m_clientArea.Get(), bounds.left, bounds.top);
  gtk_widget_set_size_request(m_clientArea.Get(), Width(bounds), Height(bounds));
}

ChildPeer::~ChildPeer() {
  TakeOutContent();
  gtk_widget_destroy(m_clientArea.Get());
}

void ChildPeer::SetVisible(bool visible) { gtk_widget_set_visible(m_clientArea.Get(), visible); }

void ChildPeer::SetBounds(const RECT& bounds) {
  gtk_layout_move(m_parent.ClientArea(), m_clientArea.Get(), bounds.left, bounds.top);
  SizeInLayout(m_clientArea.Get(), bounds.left, bounds.top, Width(bounds), Height(bounds));
  FitContent(Width(bounds), Height(bounds));
}

bool PlaceWidget(HWND window, GtkWidget* widget) {
  GtkPeer* peer = PeerOf(window);
  if (!peer || !widget) return false;
  peer->Place(widget);
  return true;
}

GtkWindow* TopLevelWidget(HWND window) {
  const GtkPeer* peer = PeerOf(window);
  return peer ? peer->TopLevel() : nullptr;
}

}  // namespace platform::gtk

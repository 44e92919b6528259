#pragma once

// The GTK peers of the layer's windows. A top-level window is a GtkWindow whose client area
// is a GtkLayout; a child window is a GtkLayout placed in its parent's client area at its
// rectangle. What GTK reports on them becomes the window's messages, in Win32's order. A
// peer belongs to its window's record and is called on the UI thread only.

#include "platform/backend.h"
#include "platform/gtk/gobject_ptr.h"

#include <gtk/gtk.h>

namespace platform::gtk {

class GtkPeer : public WindowPeer {
 public:
  ~GtkPeer() override;

  GtkLayout* ClientArea() const { return GTK_LAYOUT(m_clientArea.Get()); }
  // The top-level GtkWindow this peer is or lies in.
  virtual GtkWindow* TopLevel() const = 0;
  // Puts the widget in the client area, sized to fill it from now on.
  void Place(GtkWidget* widget);

 protected:
  explicit GtkPeer(HWND window);
  // The client area has the size now: what was placed in it follows.
  void FitContent(int width, int height);
  // Takes what was placed out of the client area before the window goes, so that it is not
  // destroyed with it: it ends when its last reference goes (a web view, for one, may be
  // inside a signal of its own when its window is destroyed).
  void TakeOutContent();

  HWND m_window;
  GObjectPtr<GtkWidget> m_clientArea;

 private:
  GObjectPtr<GtkWidget> m_content;
};

class TopLevelPeer : public GtkPeer {
 public:
  TopLevelPeer(HWND window, const std::u16string& title);
  ~TopLevelPeer() override;

  void SetTitle(const std::u16string& title) override;
  void SetVisible(bool visible) override;
  void SetBounds(const RECT& bounds) override;
  void SetIcon(WPARAM which, HICON icon) override;
  GtkWindow* TopLevel() const override { return GTK_WINDOW(m_gtkWindow.Get()); }

 private:
  // The window's signals, each as its signal hands it over.
  void ConnectEvents();
  gboolean OnCloseRequest(GtkWidget*, GdkEvent*);
  void OnClientAllocated(GtkWidget*, GdkRectangle* allocation);
  gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event);
  gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event);
  gboolean OnFocusIn(GtkWidget*, GdkEvent*);
  gboolean OnFocusOut(GtkWidget*, GdkEvent*);
  gboolean OnDragMotion(GtkWidget*, GdkDragContext* context, gint, gint, guint time);
  gboolean OnDragDrop(GtkWidget* widget, GdkDragContext* context, gint, gint, guint time);
  void ReceiveDrop(GtkWidget*, GdkDragContext* context, gint, gint, GtkSelectionData* data, guint,
                   guint time);

  GObjectPtr<GtkWidget> m_gtkWindow;
};

class ChildPeer : public GtkPeer {
 public:
  ChildPeer(HWND window, GtkPeer& parent);
  ~ChildPeer() override;

  void SetTitle(const std::u16string&) override {}
  void SetVisible(bool visible) override;
  void SetBounds(const RECT& bounds) override;
  void SetIcon(WPARAM, HICON) override {}
  GtkWindow* TopLevel() const override { return m_parent.TopLevel(); }

 private:
  GtkPeer& m_parent;
};

// The GTK peer of a window, or null.
GtkPeer* PeerOf(HWND window);

}  // namespace platform::gtk

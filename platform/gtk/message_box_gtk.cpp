// Message boxes as modal GTK message dialogs. The dialog runs a nested main loop, so GTK
// events keep flowing while the layer's posted messages wait in its queue.

#include "platform/gtk/backend_gtk.h"

#include "platform/common/native_text.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/peer_widget.h"

namespace platform::gtk {
namespace {

int AnswerOf(int response, bool yesNo) {
  switch (response) {
    case GTK_RESPONSE_YES:
      return IDYES;
    case GTK_RESPONSE_NO:
      return IDNO;
    case GTK_RESPONSE_OK:
      return IDOK;
    default:
      // Closed without a button.
      return yesNo ? IDNO : IDOK;
  }
}

}  // namespace

int GtkBackend::ShowMessageBox(HWND owner, const std::u16string& text,
                               const std::u16string& caption, UINT type) {
  if (!EnsureToolkit()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  const bool yesNo = (type & MB_TYPEMASK) == MB_YESNO;
  GtkWindow* parent = owner ? TopLevelWidget(owner) : nullptr;
  // The text is shown as it is, never as markup. The reference of our own keeps the dialog
  // valid even when its parent, and with it the dialog, is destroyed while it runs.
  GObjectPtr<GtkWidget> dialog(GTK_WIDGET(g_object_ref(gtk_message_dialog_new(
      parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_OTHER,
      yesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s", Utf8(text).c_str()))));
  gtk_window_set_title(GTK_WINDOW(dialog.Get()), Utf8(caption).c_str());
  if (type & MB_SETFOREGROUND) gtk_window_present(GTK_WINDOW(dialog.Get()));
  const int response = gtk_dialog_run(GTK_DIALOG(dialog.Get()));
  gtk_widget_destroy(dialog.Get());
  return AnswerOf(response, yesNo);
}

}  // namespace platform::gtk

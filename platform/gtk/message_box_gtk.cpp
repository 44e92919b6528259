// Message boxes as GTK message dialogs and the save dialog as GTK's file chooser, modal to
// their owner only: each top-level window has
// a window group of its own, GTK's grab holds within a group, and the dialog joins its
// owner's. The dialog runs the layer's modal loop, so posted messages are dispatched while it
// is shown, and a quit ends it.

#include "platform/gtk/backend_gtk.h"

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/peer_widget.h"
#include "platform/layer_records.h"
#include "platform/text.h"

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
      // Closed without a button, destroyed with its owner, or ended by a quit.
      return yesNo ? IDNO : IDOK;
  }
}

// How the dialog ended: its response, or destroyed.
struct Outcome {
  int response = GTK_RESPONSE_NONE;
  bool ended = false;
};

void JoinGroup(GtkWindow* dialog, GtkWindow* owner) {
  if (owner) {
    gtk_window_group_add_window(gtk_window_get_group(owner), dialog);
    return;
  }
  // A dialog without an owner blocks no window.
  GObjectPtr<GtkWindowGroup> group(gtk_window_group_new());
  gtk_window_group_add_window(group.Get(), dialog);
}

// Runs a dialog modal to its owner's window group until it answers or goes: its response,
// or GTK_RESPONSE_NONE. dialogsShown counts it while it runs.
int RunDialog(GtkWindow* window, GtkWindow* owner, int& dialogsShown) {
  JoinGroup(window, owner);
  Outcome outcome;
  g_signal_connect(window, "response", G_CALLBACK(+[](GtkDialog*, gint response, gpointer data) {
                     auto* outcome = static_cast<Outcome*>(data);
                     outcome->response = response;
                     outcome->ended = true;
                   }),
                   &outcome);
  g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
                     static_cast<Outcome*>(data)->ended = true;
                   }),
                   &outcome);
  gtk_widget_show(GTK_WIDGET(window));
  ++dialogsShown;
  RunModalLoop([&outcome] { return outcome.ended; });
  --dialogsShown;
  g_signal_handlers_disconnect_by_data(window, &outcome);
  return outcome.response;
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
  GtkWindow* window = GTK_WINDOW(dialog.Get());
  gtk_window_set_title(window, Utf8(caption).c_str());
  // Return answers the first button, as in Win32: Yes, or OK.
  gtk_dialog_set_default_response(GTK_DIALOG(dialog.Get()),
                                  yesNo ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
  if (type & MB_SETFOREGROUND) gtk_window_present(window);
  const int response = RunDialog(window, parent, m_dialogsShown);
  gtk_widget_destroy(dialog.Get());
  return AnswerOf(response, yesNo);
}

bool GtkBackend::ChooseFile(HWND owner, const std::u16string& title, std::u16string& path,
                            bool folder) {
  if (!EnsureToolkit()) return false;
  GtkWindow* parent = owner ? TopLevelWidget(owner) : nullptr;
  GObjectPtr<GtkWidget> dialog(GTK_WIDGET(g_object_ref(gtk_file_chooser_dialog_new(
      Utf8(title).c_str(), parent,
      folder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
      GTK_RESPONSE_CANCEL, folder ? "_Select" : "_Save", GTK_RESPONSE_ACCEPT, nullptr))));
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog.Get());
  gtk_window_set_modal(GTK_WINDOW(dialog.Get()), TRUE);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog.Get()), TRUE);
  if (!folder) {
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    gtk_file_chooser_set_current_name(chooser, Utf8(path).c_str());
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog.Get()), GTK_RESPONSE_ACCEPT);
  const int response = RunDialog(GTK_WINDOW(dialog.Get()), parent, m_dialogsShown);
  gchar* chosen =
      response == GTK_RESPONSE_ACCEPT ? gtk_file_chooser_get_filename(chooser) : nullptr;
  gtk_widget_destroy(dialog.Get());
  if (!chosen) return false;
  path = Utf16(chosen);
  g_free(chosen);
  return true;
}

bool GtkBackend::ChooseSaveFile(HWND owner, const std::u16string& title, std::u16string& path) {
  return ChooseFile(owner, title, path, false);
}

bool GtkBackend::ChooseFolder(HWND owner, const std::u16string& title, std::u16string& path) {
  return ChooseFile(owner, title, path, true);
}

}  // namespace platform::gtk

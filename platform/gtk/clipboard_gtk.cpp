// Unicode text for the clipboard goes to the CLIPBOARD selection as UTF-8, stored with the
// desktop's clipboard manager (when there is one) so that it outlives Trawler.

#include "platform/gtk/backend_gtk.h"

#include "platform/gtk/peer_widget.h"
#include "platform/text.h"

namespace platform::gtk {

bool GtkBackend::SetClipboardText(const std::u16string& text) {
  if (!EnsureToolkit()) return false;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  const std::string utf8 = Utf8(text);
  gtk_clipboard_set_text(clipboard, utf8.c_str(), static_cast<gint>(utf8.size()));
  gtk_clipboard_set_can_store(clipboard, nullptr, 0);
  gtk_clipboard_store(clipboard);
  return true;
}

}  // namespace platform::gtk

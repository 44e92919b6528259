#include "engine/webkitgtk/page_requests_gtk.h"

#include "engine/webkitgtk/engine_text.h"

namespace webkitgtk {

void DecidePageRequests(WebKitWebView* view) {
  g_signal_connect(
      view, "print",
      G_CALLBACK(+[](WebKitWebView*, WebKitPrintOperation*) { return gboolean(TRUE); }), nullptr);
  g_signal_connect(view, "run-file-chooser",
                   G_CALLBACK(+[](WebKitWebView*, WebKitFileChooserRequest* request) {
                     webkit_file_chooser_request_cancel(request);
                     return gboolean(TRUE);
                   }),
                   nullptr);
  g_signal_connect(view, "permission-request",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPermissionRequest* request) {
                     webkit_permission_request_deny(request);
                     return gboolean(TRUE);
                   }),
                   nullptr);
  g_signal_connect(view, "enter-fullscreen",
                   G_CALLBACK(+[](WebKitWebView*) { return gboolean(TRUE); }), nullptr);
  // Runs after the view's own handler, which answers alerts and confirms.
  g_signal_connect(view, "script-dialog",
                   G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog) {
                     if (webkit_script_dialog_get_dialog_type(dialog) !=
                         WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
                       return gboolean(FALSE);
                     }
                     webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
                     return gboolean(TRUE);
                   }),
                   nullptr);
}

void RefuseDownloads(WebKitWebContext* context) {
  g_signal_connect(context, "download-started",
                   G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download) {
                     WebKitURIRequest* request = webkit_download_get_request(download);
                     const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
                     DebugLine(std::string("trawler: not saving ") + (uri ? uri : "a download"));
                     webkit_download_cancel(download);
                   }),
                   nullptr);
}

}  // namespace webkitgtk

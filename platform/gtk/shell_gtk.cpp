// The shell's "open": a URL goes to the desktop's default handler for it through GIO, a
// local path as its file URI. Failures answer ShellExecuteW's value for the cause, with a
// debug line that says why.

#include "platform/gtk/backend_gtk.h"

#include "platform/text.h"

#include <gio/gio.h>

#include <algorithm>

namespace platform::gtk {
namespace {

// ShellExecuteW's results.
constexpr uintptr_t kSuccess = 42;
constexpr uintptr_t kNoSuchFile = ERROR_FILE_NOT_FOUND;
constexpr uintptr_t kNoAssociation = 31;

uintptr_t Fail(uintptr_t result, const std::string& why) {
  OutputDebugStringW(Utf16("ShellExecuteW: " + why + "\n").c_str());
  return result;
}

bool IsOpen(std::u16string verb) {
  std::transform(verb.begin(), verb.end(), verb.begin(),
                 [](char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; });
  return verb == u"open";
}

}  // namespace

uintptr_t GtkBackend::ShellExecute(const std::u16string& verb, const std::u16string& target) {
  const std::string text = Utf8(target);
  if (!IsOpen(verb)) return Fail(kNoAssociation, "the verb \"" + Utf8(verb) + "\" is not known");
  std::string uri = text;
  if (text[0] == '/' || !g_uri_peek_scheme(text.c_str())) {
    g_autoptr(GFile) file = g_file_new_for_path(text.c_str());
    if (!g_file_query_exists(file, nullptr)) return Fail(kNoSuchFile, "no such file: " + text);
    g_autofree gchar* fileUri = g_file_get_uri(file);
    uri = fileUri;
  }
  g_autoptr(GError) error = nullptr;
  if (g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) return kSuccess;
  const bool missing = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND);
  return Fail(missing ? kNoSuchFile : kNoAssociation,
              "cannot open " + uri + ": " + (error ? error->message : "no handler"));
}

}  // namespace platform::gtk

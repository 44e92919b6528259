#include "engine/webkitgtk/http_facts_gtk.h"

#include "engine/webkitgtk/engine_text.h"

namespace webkitgtk {

std::u16string HeaderLines(SoupMessageHeaders* headers) {
  std::string lines;
  if (headers) {
    soup_message_headers_foreach(
        headers,
        [](const char* name, const char* value, gpointer text) {
          *static_cast<std::string*>(text) += std::string(name) + ": " + value + "\r\n";
        },
        &lines);
  }
  return Utf16Of(lines.c_str());
}

WebErrorGtk::WebErrorGtk(const GError* error, const char* failingUrl)
    : m_code(g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)
                 ? WebURLErrorCancelled
                 : (error ? error->code : 0)),
      m_description(Utf16Of(error && error->message ? error->message : "The load failed")),
      m_url(Utf16Of(failingUrl)) {}

HRESULT WebErrorGtk::code(int* result) {
  if (!result) return E_POINTER;
  *result = m_code;
  return S_OK;
}

HRESULT WebErrorGtk::localizedDescription(BSTR* result) { return Answer(result, m_description); }

HRESULT WebErrorGtk::failingURL(BSTR* result) { return Answer(result, m_url); }

}  // namespace webkitgtk

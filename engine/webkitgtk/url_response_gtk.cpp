#include "engine/webkitgtk/url_response_gtk.h"

#include "engine/webkitgtk/engine_text.h"

#include <cerrno>
#include <cstdlib>

namespace webkitgtk {

URLResponseGtk::URLResponseGtk(WebKitURIResponse* response)
    : m_url(Utf16Of(webkit_uri_response_get_uri(response))),
      m_mimeType(Utf16Of(webkit_uri_response_get_mime_type(response))),
      m_length(AnnouncedLength(response)) {}

long long URLResponseGtk::AnnouncedLength(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  if (!headers) {
    const guint64 known = webkit_uri_response_get_content_length(response);
    return known > 0 && known <= static_cast<guint64>(INT64_MAX) ? static_cast<long long>(known)
                                                                 : -1;
  }
  const char* header = soup_message_headers_get_one(headers, "Content-Length");
  if (!header) return -1;
  char* end = nullptr;
  errno = 0;
  const long long length = std::strtoll(header, &end, 10);
  const bool number = end != header && *end == '\0' && errno == 0 && length >= 0;
  return number ? length : -1;
}

HRESULT URLResponseGtk::expectedContentLength(long long* result) {
  if (!result) return E_POINTER;
  *result = m_length;
  return S_OK;
}

HRESULT URLResponseGtk::MIMEType(BSTR* result) { return Answer(result, m_mimeType); }

HRESULT URLResponseGtk::URL(BSTR* result) { return Answer(result, m_url); }

}  // namespace webkitgtk

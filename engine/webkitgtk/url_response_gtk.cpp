#include "engine/webkitgtk/url_response_gtk.h"

#include "engine/webkitgtk/engine_text.h"
#include "engine/webkitgtk/http_facts_gtk.h"
#include "engine/webkitgtk/recent_responses.h"

#include <cerrno>
#include <cstdlib>

namespace webkitgtk {
namespace {

// An http: or https: address: the only ones with statuses, revalidations and placeholders.
bool IsWeb(const char* uri) {
  return uri && (g_str_has_prefix(uri, "http:") || g_str_has_prefix(uri, "https:"));
}

}  // namespace

URLResponseGtk::URLResponseGtk(WebKitURIResponse* response, bool fromMemory)
    : m_url(Utf16Of(webkit_uri_response_get_uri(response))),
      m_mimeType(Utf16Of(webkit_uri_response_get_mime_type(response))),
      m_length(AnnouncedLength(response)),
      m_status(webkit_uri_response_get_status_code(response)),
      m_fromMemory(fromMemory),
      m_response(WEBKIT_URI_RESPONSE(g_object_ref(response))) {
  const char* uri = webkit_uri_response_get_uri(response);
  if (!IsWeb(uri)) return;
  const guint status = m_status;
  RecentResponses& recent = RecentResponses::Get();
  if (status == SOUP_STATUS_NOT_MODIFIED) {
    if (const RecentResponses::Response* cached = recent.Recall(uri)) {
      m_mimeType = cached->mimeType;
      m_length = cached->length;
    }
  } else if (status == SOUP_STATUS_OK) {
    recent.Remember(uri, {m_mimeType, m_length});
  }
}

bool URLResponseGtk::IsPlaceholder(WebKitURIResponse* response) {
  return IsWeb(webkit_uri_response_get_uri(response)) &&
         webkit_uri_response_get_status_code(response) == 0;
}

long long URLResponseGtk::AnnouncedLength(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  if (!headers) {
    // WebKit knows the length of a file or data resource, an empty one's too.
    const guint64 known = webkit_uri_response_get_content_length(response);
    return known <= static_cast<guint64>(INT64_MAX) ? static_cast<long long>(known) : -1;
  }
  return LengthOf(soup_message_headers_get_one(headers, "Content-Length"));
}

long long URLResponseGtk::LengthOf(const char* header) {
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

HRESULT URLResponseGtk::QueryInterface(REFIID iid, void** object) {
  if (iid == IID_IWebHTTPURLResponse && m_status == 0) return engine::NoInterface(object);
  return ComObject::QueryInterface(iid, object);
}

HRESULT URLResponseGtk::allHeaderFields(BSTR* result) {
  return Answer(result, HeaderLines(webkit_uri_response_get_http_headers(m_response.Get())));
}

HRESULT URLResponseGtk::localizedStringForStatusCode(int statusCode, BSTR* result) {
  const char* phrase = statusCode > 0 ? soup_status_get_phrase(statusCode) : nullptr;
  return Answer(result, Utf16Of(phrase));
}

HRESULT URLResponseGtk::statusCode(int* result) {
  if (!result) return E_POINTER;
  *result = static_cast<int>(m_status);
  return S_OK;
}

HRESULT URLResponseGtk::cacheSource(int* result) {
  if (!result) return E_POINTER;
  *result = m_fromMemory ? WebCacheSourceMemory : WebCacheSourceNetworkLayer;
  return S_OK;
}

}  // namespace webkitgtk

#include "engine/webkitgtk/url_request_gtk.h"

#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"
#include "engine/webkitgtk/http_facts_gtk.h"

namespace webkitgtk {

URLRequestGtk::URLRequestGtk() : m_fields(soup_message_headers_new(SOUP_MESSAGE_HEADERS_REQUEST)) {}

URLRequestGtk::URLRequestGtk(const char* url) : URLRequestGtk() { m_url = Utf16Of(url); }

URLRequestGtk::URLRequestGtk(WebKitURIRequest* request)
    : m_url(Utf16Of(webkit_uri_request_get_uri(request))),
      m_request(WEBKIT_URI_REQUEST(g_object_ref(request))) {
  // Requests of other schemes have no method; they read like a GET.
  if (const char* method = webkit_uri_request_get_http_method(request)) m_method = Utf16Of(method);
}

HRESULT URLRequestGtk::initWithURL(BSTR url, WebURLRequestCachePolicy, double) {
  m_url = TextOf(url);
  return S_OK;
}

HRESULT URLRequestGtk::URL(BSTR* result) { return Answer(result, m_url); }

HRESULT URLRequestGtk::HTTPMethod(BSTR* result) { return Answer(result, m_method); }

SoupMessageHeaders* URLRequestGtk::Headers() const {
  return m_request ? webkit_uri_request_get_http_headers(m_request.Get()) : m_fields.get();
}

HRESULT URLRequestGtk::allHTTPHeaderFields(BSTR* result) {
  return Answer(result, HeaderLines(Headers()));
}

// A page load is always a GET in WebKitGTK; a fetch the system makes is refused unless it is.
HRESULT URLRequestGtk::setHTTPMethod(BSTR method) {
  m_method = TextOf(method);
  return S_OK;
}

HRESULT URLRequestGtk::setAllowsAnyHTTPSCertificate() {
  EngineGtk::Get().AcceptAnyCertificate();
  return S_OK;
}

HRESULT URLRequestGtk::setValue(BSTR value, BSTR field) {
  const std::string name = platform::Utf8(TextOf(field));
  const std::string text = platform::Utf8(TextOf(value));
  // A line break or NUL would start a header of its own.
  const auto breaks = [](const std::string& part) {
    return part.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
  };
  if (name.empty() || !m_fields || breaks(name) || breaks(text)) return E_INVALIDARG;
  soup_message_headers_replace(m_fields.get(), name.c_str(), text.c_str());
  return S_OK;
}

HRESULT URLRequestGtk::setMainDocumentURL(BSTR url) {
  m_mainDocument = TextOf(url);
  return S_OK;
}

HRESULT URLRequestGtk::mainDocumentURL(BSTR* result) { return Answer(result, m_mainDocument); }

HRESULT URLRequestGtk::setHTTPShouldHandleCookies(BOOL handles) {
  m_handlesCookies = handles != FALSE;
  return S_OK;
}

}  // namespace webkitgtk

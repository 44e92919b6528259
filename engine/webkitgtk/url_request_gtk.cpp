#include "engine/webkitgtk/url_request_gtk.h"

#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"
#include "engine/webkitgtk/http_facts_gtk.h"

namespace webkitgtk {

URLRequestGtk::URLRequestGtk(const char* url) : m_url(Utf16Of(url)) {}

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

HRESULT URLRequestGtk::allHTTPHeaderFields(BSTR* result) {
  return Answer(
      result, m_request ? HeaderLines(webkit_uri_request_get_http_headers(m_request.Get())) : u"");
}

// A page load is always a GET in WebKitGTK, which is the only method the system asks for.
HRESULT URLRequestGtk::setHTTPMethod(BSTR) { return S_OK; }

HRESULT URLRequestGtk::setAllowsAnyHTTPSCertificate() {
  EngineGtk::Get().AcceptAnyCertificate();
  return S_OK;
}

}  // namespace webkitgtk

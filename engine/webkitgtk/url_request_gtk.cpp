#include "engine/webkitgtk/url_request_gtk.h"

#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"

namespace webkitgtk {

URLRequestGtk::URLRequestGtk(const char* url) : m_url(Utf16Of(url)) {}

HRESULT URLRequestGtk::initWithURL(BSTR url, WebURLRequestCachePolicy, double) {
  m_url = TextOf(url);
  return S_OK;
}

HRESULT URLRequestGtk::URL(BSTR* result) { return Answer(result, m_url); }

// A page load is always a GET in WebKitGTK, which is the only method the system asks for.
HRESULT URLRequestGtk::setHTTPMethod(BSTR) { return S_OK; }

HRESULT URLRequestGtk::setAllowsAnyHTTPSCertificate() {
  EngineGtk::Get().AcceptAnyCertificate();
  return S_OK;
}

}  // namespace webkitgtk

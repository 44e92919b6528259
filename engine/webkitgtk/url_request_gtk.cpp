#include "engine/webkitgtk/url_request_gtk.h"

#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"

namespace webkitgtk {
namespace {

bool g_acceptsAnyCertificate = false;

}  // namespace

URLRequestGtk::URLRequestGtk(const char* url) : m_url(Utf16Of(url)) {}

bool URLRequestGtk::AcceptsAnyCertificate() { return g_acceptsAnyCertificate; }

HRESULT URLRequestGtk::initWithURL(BSTR url, WebURLRequestCachePolicy, double) {
  m_url = TextOf(url);
  return S_OK;
}

HRESULT URLRequestGtk::URL(BSTR* result) { return Answer(result, m_url); }

// A page load is always a GET in WebKitGTK, which is the only method the system asks for.
HRESULT URLRequestGtk::setHTTPMethod(BSTR) { return S_OK; }

HRESULT URLRequestGtk::setAllowsAnyHTTPSCertificate() {
  g_acceptsAnyCertificate = true;
  webkit_website_data_manager_set_tls_errors_policy(EngineGtk::Get().DataManager(),
                                                    WEBKIT_TLS_ERRORS_POLICY_IGNORE);
  return S_OK;
}

}  // namespace webkitgtk

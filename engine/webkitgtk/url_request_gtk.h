#pragma once

// A URL request: what the system loads (its URL) and what a delegate is told of (the URL of
// a new window or popup; a resource's request with its method and headers).

#include "engine/com_object.h"
#include "platform/gtk/gobject_ptr.h"

#include <webkit2/webkit2.h>

#include <string>

namespace webkitgtk {

class URLRequestGtk : public engine::ComObject<IWebMutableURLRequest> {
 public:
  URLRequestGtk() = default;
  explicit URLRequestGtk(const char* url);
  explicit URLRequestGtk(WebKitURIRequest* request);

  HRESULT initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                      double timeoutInterval) override;
  HRESULT URL(BSTR* result) override;
  HRESULT HTTPMethod(BSTR* result) override;
  HRESULT allHTTPHeaderFields(BSTR* result) override;
  HRESULT setHTTPMethod(BSTR method) override;
  HRESULT setAllowsAnyHTTPSCertificate() override;

  const std::u16string& Url() const { return m_url; }

 private:
  std::u16string m_url;
  std::u16string m_method = u"GET";
  // A resource's request, kept for its headers, which are read only when asked for; null
  // for a request the system made.
  GObjectPtr<WebKitURIRequest> m_request;
};

}  // namespace webkitgtk

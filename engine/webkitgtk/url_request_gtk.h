#pragma once

// A URL request: what the system loads or fetches (its URL, and for a fetch its header
// fields and the page it is made for) and what a delegate is told of (the URL of a new
// window or popup; a resource's request with its method and headers).

#include "engine/com_object.h"
#include "platform/gtk/gobject_ptr.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

namespace webkitgtk {

class URLRequestGtk : public engine::ComObject<IWebMutableURLRequest> {
 public:
  URLRequestGtk();
  explicit URLRequestGtk(const char* url);
  explicit URLRequestGtk(WebKitURIRequest* request);

  HRESULT initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                      double timeoutInterval) override;
  HRESULT URL(BSTR* result) override;
  HRESULT HTTPMethod(BSTR* result) override;
  HRESULT allHTTPHeaderFields(BSTR* result) override;
  HRESULT setHTTPMethod(BSTR method) override;
  HRESULT setAllowsAnyHTTPSCertificate() override;
  HRESULT setValue(BSTR value, BSTR field) override;
  HRESULT setMainDocumentURL(BSTR url) override;
  HRESULT mainDocumentURL(BSTR* result) override;
  HRESULT setHTTPShouldHandleCookies(BOOL handles) override;

  const std::u16string& Url() const { return m_url; }
  const std::u16string& Method() const { return m_method; }
  const std::u16string& MainDocumentUrl() const { return m_mainDocument; }
  bool HandlesCookies() const { return m_handlesCookies; }
  // The header fields the system set, or those of the resource's request.
  SoupMessageHeaders* Headers() const;

 private:
  struct HeadersUnref {
    void operator()(SoupMessageHeaders* headers) const { soup_message_headers_unref(headers); }
  };

  std::u16string m_url;
  std::u16string m_method = u"GET";
  std::u16string m_mainDocument;
  bool m_handlesCookies = true;
  // The fields the system set on a request it made.
  std::unique_ptr<SoupMessageHeaders, HeadersUnref> m_fields;
  // A resource's request, kept for its headers, which are read only when asked for; null
  // for a request the system made.
  GObjectPtr<WebKitURIRequest> m_request;
};

}  // namespace webkitgtk

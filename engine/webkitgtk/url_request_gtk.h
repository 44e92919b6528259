#pragma once

// A URL request: what the system loads (its URL and method) and what a delegate is told
// of (the URL of a new window or popup).

#include "engine/com_object.h"

#include <string>

namespace webkitgtk {

class URLRequestGtk : public engine::ComObject<IWebMutableURLRequest> {
 public:
  URLRequestGtk() = default;
  explicit URLRequestGtk(const char* url);

  HRESULT initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                      double timeoutInterval) override;
  HRESULT URL(BSTR* result) override;
  HRESULT setHTTPMethod(BSTR method) override;
  HRESULT setAllowsAnyHTTPSCertificate() override;

  const std::u16string& Url() const { return m_url; }

 private:
  std::u16string m_url;
};

}  // namespace webkitgtk

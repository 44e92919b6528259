#pragma once

// A resource's response as the resource-load delegate sees it: the final URL, the MIME type
// and the length the server announced (-1 when it announced none).

#include "engine/com_object.h"

#include <webkit2/webkit2.h>

#include <string>

namespace webkitgtk {

class URLResponseGtk : public engine::ComObject<IWebURLResponse> {
 public:
  explicit URLResponseGtk(WebKitURIResponse* response);

  HRESULT expectedContentLength(long long* result) override;
  HRESULT MIMEType(BSTR* result) override;
  HRESULT URL(BSTR* result) override;

  // The announced length: the Content-Length header of an HTTP response (-1 without one or
  // when it is no number); for other schemes the length WebKit knows, or -1.
  static long long AnnouncedLength(WebKitURIResponse* response);

 private:
  std::u16string m_url;
  std::u16string m_mimeType;
  long long m_length;
};

}  // namespace webkitgtk

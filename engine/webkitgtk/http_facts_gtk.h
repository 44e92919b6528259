#pragma once

// What the engine interface says of a request, a response or a failure, read from
// WebKitGTK and libsoup: header lines and the error of a failed load.

#include "engine/com_object.h"

#include <webkit2/webkit2.h>

#include <string>

namespace webkitgtk {

// The headers as "Name: value" lines, each ended by CR LF; empty for none.
std::u16string HeaderLines(SoupMessageHeaders* headers);

// A failed load: the error's code (a cancelled load's is WebURLErrorCancelled), its message
// and the address that failed.
class WebErrorGtk : public engine::ComObject<IWebError> {
 public:
  WebErrorGtk(const GError* error, const char* failingUrl);

  HRESULT code(int* result) override;
  HRESULT localizedDescription(BSTR* result) override;
  HRESULT failingURL(BSTR* result) override;

 private:
  int m_code;
  std::u16string m_description;
  std::u16string m_url;
};

}  // namespace webkitgtk

#pragma once

// A resource's response as the resource-load delegate sees it: the final URL, the MIME type
// and the length the server announced (-1 when it announced none). A 304 that confirmed a
// cached response stands for that response: made from one, the object takes the type and
// length of the URL's last complete response (and made from that, remembers them; web
// addresses only, since only they are revalidated).

#include "engine/com_object.h"
#include "platform/gtk/gobject_ptr.h"

#include <webkit2/webkit2.h>

#include <string>

namespace webkitgtk {

class URLResponseGtk : public engine::ComObject<IWebHTTPURLResponse> {
 public:
  // fromMemory: the page's memory cache answered it.
  explicit URLResponseGtk(WebKitURIResponse* response, bool fromMemory = false);

  // The HTTP facet only for a response with a status.
  HRESULT QueryInterface(REFIID iid, void** object) override;

  HRESULT expectedContentLength(long long* result) override;
  HRESULT MIMEType(BSTR* result) override;
  HRESULT URL(BSTR* result) override;
  HRESULT allHeaderFields(BSTR* result) override;
  HRESULT localizedStringForStatusCode(int statusCode, BSTR* result) override;
  HRESULT statusCode(int* result) override;
  HRESULT cacheSource(int* result) override;

  // The announced length: the Content-Length header of an HTTP response (-1 without one or
  // when it is no number); for other schemes the length WebKit knows.
  static long long AnnouncedLength(WebKitURIResponse* response);
  // The length a Content-Length header's value says: -1 when there is none, or it is no
  // whole non-negative number.
  static long long LengthOf(const char* header);
  // Whether it is the response without a status that WebKit reports for a media element's
  // web resource before its real request: nothing was received yet.
  static bool IsPlaceholder(WebKitURIResponse* response);

 private:
  std::u16string m_url;
  std::u16string m_mimeType;
  long long m_length;
  guint m_status;
  bool m_fromMemory;
  // Kept for the headers, which are read only when asked for.
  GObjectPtr<WebKitURIResponse> m_response;
};

}  // namespace webkitgtk

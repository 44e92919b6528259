#include "engine/webkitgtk/web_frame_gtk.h"

#include "engine/webkitgtk/url_request_gtk.h"

namespace webkitgtk {

HRESULT WebFrameGtk::loadRequest(IWebURLRequest* request) {
  auto* ours = dynamic_cast<URLRequestGtk*>(request);
  if (!m_host || !ours) return E_INVALIDARG;
  return m_host->Load(*ours);
}

js::JSGlobalContextRef WebFrameGtk::globalContext() {
  return m_host ? m_host->PageContext() : nullptr;
}

}  // namespace webkitgtk

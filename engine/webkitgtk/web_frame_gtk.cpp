#include "engine/webkitgtk/web_frame_gtk.h"

#include "engine/webkitgtk/url_request_gtk.h"
#include "engine/webkitgtk/web_view_gtk.h"

namespace webkitgtk {

HRESULT WebFrameGtk::loadRequest(IWebURLRequest* request) {
  auto* ours = dynamic_cast<URLRequestGtk*>(request);
  if (!m_view || !ours) return E_INVALIDARG;
  return m_view->Load(*ours);
}

js::JSGlobalContextRef WebFrameGtk::globalContext() {
  return m_view ? m_view->PageContext() : nullptr;
}

}  // namespace webkitgtk

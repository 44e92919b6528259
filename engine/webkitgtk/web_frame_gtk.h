#pragma once

// A web view's main frame: it loads requests into its view, and gives the script context
// its page's agent last reported (none for views whose pages have no agent).

#include "engine/com_object.h"

namespace webkitgtk {

class WebViewGtk;

class WebFrameGtk : public engine::ComObject<IWebFrame> {
 public:
  explicit WebFrameGtk(WebViewGtk* view) : m_view(view) {}
  HRESULT loadRequest(IWebURLRequest* request) override;
  js::JSGlobalContextRef globalContext() override;
  // The view is gone; the frame does nothing from now on.
  void Detach() { m_view = nullptr; }

 private:
  WebViewGtk* m_view;
};

}  // namespace webkitgtk

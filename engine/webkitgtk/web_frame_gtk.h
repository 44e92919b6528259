#pragma once

// A web view's main frame: it loads requests into its view, and gives the script context
// its page's agent last reported (none for views whose pages have no agent). The frame
// knows its view only as a FrameHost, so the view and the frame do not depend on each other.

#include "engine/com_object.h"

namespace webkitgtk {

class URLRequestGtk;

// What a frame asks of the view it belongs to.
class FrameHost {
 public:
  virtual HRESULT Load(const URLRequestGtk& request) = 0;
  virtual js::JSGlobalContextRef PageContext() const = 0;

 protected:
  ~FrameHost() = default;
};

class WebFrameGtk : public engine::ComObject<IWebFrame> {
 public:
  explicit WebFrameGtk(FrameHost* host) : m_host(host) {}
  HRESULT loadRequest(IWebURLRequest* request) override;
  js::JSGlobalContextRef globalContext() override;
  // The view is gone; the frame does nothing from now on.
  void Detach() { m_host = nullptr; }

 private:
  FrameHost* m_host;
};

}  // namespace webkitgtk

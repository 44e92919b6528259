#pragma once

#include "webview/delegate_base.h"

class CEmptyFrameLoadDelegate : public CDelegateBase<IWebFrameLoadDelegate> {
 public:
  WEB_FRAME_LOAD_DELEGATE_OPERATIONS(DELEGATE_NOT_IMPLEMENTED)
};

// Forwards load completion, load failures and cleared window objects to the window that
// hosts the calling web view.
class CDefFrameLoadDelegate : public CEmptyFrameLoadDelegate {
 public:
  HRESULT didFailProvisionalLoadWithError(IWebView* webView, IWebError* error,
                                          IWebFrame* frame) override;
  HRESULT didFinishLoadForFrame(IWebView* webView, IWebFrame* frame) override;
  HRESULT didFailLoadWithError(IWebView* webView, IWebError* error, IWebFrame* frame) override;
  HRESULT didClearWindowObject(IWebView* webView, js::JSContextRef context,
                               js::JSObjectRef windowScriptObject, IWebFrame* frame) override;
};

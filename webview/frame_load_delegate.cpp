#include "webview/frame_load_delegate.h"

#include "webview/com_ptr.h"
#include "webview/webkit_window.h"

HRESULT CDefFrameLoadDelegate::didFailProvisionalLoadWithError(IWebView* webView, IWebError* error,
                                                               IWebFrame* frame) {
  if (CWebKitWindow* window = LookupWindowOfView(webView)) {
    window->OnProvisionalLoadFailed(error, frame);
  }
  return S_OK;
}

HRESULT CDefFrameLoadDelegate::didFinishLoadForFrame(IWebView* webView, IWebFrame*) {
  CWebKitWindow* window = LookupWindowOfView(webView);
  if (!window) return S_OK;
  // The main frame's URL, also when a subframe finished.
  ScopedBstr url;
  webView->mainFrameURL(url.Receive());
  window->OnLoadFinished(url.Get());
  return S_OK;
}

HRESULT CDefFrameLoadDelegate::didFailLoadWithError(IWebView* webView, IWebError* error,
                                                    IWebFrame* frame) {
  if (CWebKitWindow* window = LookupWindowOfView(webView)) window->OnLoadFailed(error, frame);
  return S_OK;
}

HRESULT CDefFrameLoadDelegate::didClearWindowObject(IWebView* webView, js::JSContextRef context,
                                                    js::JSObjectRef windowScriptObject,
                                                    IWebFrame* frame) {
  if (CWebKitWindow* window = LookupWindowOfView(webView)) {
    window->OnWindowObjectCleared(context, windowScriptObject, frame);
  }
  return S_OK;
}

#include "webview/policy_delegate.h"

#include "webview/com_ptr.h"
#include "webview/webkit_window.h"

HRESULT CDefPolicyDelegate::decidePolicyForNewWindowAction(IWebView* webView, IPropertyBag*,
                                                           IWebURLRequest* request, BSTR frameName,
                                                           IWebPolicyDecisionListener*) {
  CWebKitWindow* window = LookupWindowOfView(webView);
  if (!window) return S_OK;
  ScopedBstr url;
  const HRESULT result = request ? request->URL(url.Receive()) : E_POINTER;
  window->OnNewWindowRequest(url.Get(), frameName);
  return result;
}

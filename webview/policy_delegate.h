#pragma once

#include "webview/delegate_base.h"

class CEmptyPolicyDelegate : public CDelegateBase<IWebPolicyDelegate> {
 public:
  WEB_POLICY_DELEGATE_OPERATIONS(DELEGATE_NOT_IMPLEMENTED)
};

// Forwards new-window actions to the window that hosts the calling web view; every other
// decision stays with the engine.
class CDefPolicyDelegate : public CEmptyPolicyDelegate {
 public:
  HRESULT decidePolicyForNewWindowAction(IWebView* webView, IPropertyBag* actionInformation,
                                         IWebURLRequest* request, BSTR frameName,
                                         IWebPolicyDecisionListener* listener) override;
};

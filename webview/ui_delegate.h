#pragma once

#include "webview/delegate_base.h"

class CEmptyUIDelegate : public CDelegateBase<IWebUIDelegate> {
 public:
  WEB_UI_DELEGATE_OPERATIONS(DELEGATE_NOT_IMPLEMENTED)
};

// Forwards new-view requests, frame queries, dialogs and the context menu to the window
// that hosts the calling web view, and refuses every drag onto the page.
class CDefUIDelegate : public CEmptyUIDelegate {
 public:
  HRESULT createWebViewWithRequest(IWebView* sender, IWebURLRequest* request,
                                   IWebView** newWebView) override;
  HRESULT setFrame(IWebView* sender, RECT* frame) override;
  HRESULT webViewFrame(IWebView* sender, RECT* frame) override;
  HRESULT runJavaScriptAlertPanelWithMessage(IWebView* sender, BSTR message) override;
  HRESULT runJavaScriptConfirmPanelWithMessage(IWebView* sender, BSTR message,
                                               BOOL* result) override;
  HRESULT contextMenuItemsForElement(IWebView* sender, IPropertyBag* element,
                                     OLE_HANDLE defaultItemsHMenu,
                                     OLE_HANDLE* resultHMenu) override;
  HRESULT dragDestinationActionMaskForDraggingInfo(IWebView* webView, IDataObject* draggingInfo,
                                                   WebDragDestinationAction* action) override;
};

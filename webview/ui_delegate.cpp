#include "webview/ui_delegate.h"

#include "webview/com_ptr.h"
#include "webview/webkit_window.h"

HRESULT CDefUIDelegate::createWebViewWithRequest(IWebView* sender, IWebURLRequest* request,
                                                 IWebView** newWebView) {
  CWebKitWindow* window = LookupWindowOfView(sender);
  if (!window) return S_OK;
  ScopedBstr url;
  const HRESULT result = request ? request->URL(url.Receive()) : E_POINTER;
  window->OnCreateWebView(url.Get(), newWebView);
  return result;
}

HRESULT CDefUIDelegate::setFrame(IWebView* sender, RECT* frame) {
  if (CWebKitWindow* window = LookupWindowOfView(sender)) window->SetFrame(frame);
  return S_OK;
}

HRESULT CDefUIDelegate::webViewFrame(IWebView* sender, RECT* frame) {
  if (CWebKitWindow* window = LookupWindowOfView(sender)) window->GetFrame(frame);
  return S_OK;
}

HRESULT CDefUIDelegate::runJavaScriptAlertPanelWithMessage(IWebView* sender, BSTR message) {
  if (CWebKitWindow* window = LookupWindowOfView(sender)) window->OnAlert(message);
  return S_OK;
}

HRESULT CDefUIDelegate::runJavaScriptConfirmPanelWithMessage(IWebView* sender, BSTR message,
                                                             BOOL* result) {
  if (CWebKitWindow* window = LookupWindowOfView(sender)) window->OnConfirm(message, result);
  return S_OK;
}

HRESULT CDefUIDelegate::contextMenuItemsForElement(IWebView* sender, IPropertyBag* element,
                                                   OLE_HANDLE defaultItemsHMenu,
                                                   OLE_HANDLE* resultHMenu) {
  CWebKitWindow* window = LookupWindowOfView(sender);
  if (!window) return S_OK;
  HMENU result = nullptr;
  window->OnContextMenu(element, reinterpret_cast<HMENU>(defaultItemsHMenu), &result);
  if (resultHMenu) *resultHMenu = reinterpret_cast<OLE_HANDLE>(result);
  return S_OK;
}

HRESULT CDefUIDelegate::dragDestinationActionMaskForDraggingInfo(IWebView*, IDataObject*,
                                                                 WebDragDestinationAction* action) {
  // Nothing dragged onto the page is taken; dropped files reach the top-level window.
  if (action) *action = WebDragDestinationActionNone;
  return S_OK;
}

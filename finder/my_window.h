#pragma once

// A browsing window: its web view's responses are captured by its resource-load delegate,
// and windows its pages open become browsing windows too. The main one is a member of the
// application object; those that pages open are owned by its list of popup windows.

#include "finder/resource_load_delegate.h"
#include "webview/webkit_window.h"

class CMyWindow : public CWebKitWindow {
 public:
  // Installs the resource-load delegate before the view is initialised.
  void OnCreate(LPCREATESTRUCTW create) override;
  void OnNewWindowRequest(BSTR url, BSTR frameName) override;
  void OnCreateWebView(BSTR url, IWebView** newWebView) override;
  // The main browsing window's page finished or failed: the UI page is told.
  void OnLoadFinished(BSTR url) override;
  void OnLoadFailed(IWebError* error, IWebFrame* frame) override;
  void OnProvisionalLoadFailed(IWebError* error, IWebFrame* frame) override;

  CResourceLoadDelegate m_resourceLoadDelegate;
  // Whether the windows its pages open go beside the UI window, with their icons; else
  // (a run without a UI window) they are shown where they are made.
  bool m_besideUi = true;

 private:
  // A new browsing window titled like this one, shown.
  CMyWindow* OpenPopup();
};

#pragma once

#include "webview/resource_load_delegate.h"

// A browsing window's resource-load delegate: while a search runs, every response its web
// view receives is reported to the UI page. A member of its window.
class CResourceLoadDelegate : public CEmptyResourceLoadDelegate {
 public:
  HRESULT didReceiveResponse(IWebView* webView, unsigned long identifier, IWebURLResponse* response,
                             IWebDataSource* dataSource) override;
};

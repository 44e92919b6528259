#pragma once

#include "webview/delegate_base.h"

class CEmptyResourceLoadDelegate : public CDelegateBase<IWebResourceLoadDelegate> {
 public:
  WEB_RESOURCE_LOAD_DELEGATE_OPERATIONS(DELEGATE_NOT_IMPLEMENTED)
};

#pragma once

#include "webview/delegate_base.h"

class CEmptyNotificationObserver : public CDelegateBase<IWebNotificationObserver> {
 public:
  WEB_NOTIFICATION_OBSERVER_OPERATIONS(DELEGATE_NOT_IMPLEMENTED)
};

// Turns the engine's three progress notifications into the window's progress operations;
// an estimate is forwarded only when its whole percent differs from the last one.
class CDefNotificationObserver : public CEmptyNotificationObserver {
 public:
  HRESULT onNotification(IWebNotification* notification) override;
};

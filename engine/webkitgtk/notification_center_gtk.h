#pragma once

#include "engine/notification_center.h"

namespace webkitgtk {

// The WebKitGTK engine's notification center: the shared one, refusing nothing.
class NotificationCenterGtk : public engine::NotificationCenter<NotificationCenterGtk> {
 public:
  using NotificationCenter::NotificationCenter;
};

}  // namespace webkitgtk

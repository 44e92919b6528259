#pragma once

// The UI window: shows the UI page, holds the search state, and installs the script
// service object in every window object its page gets. Owned by the application object.

#include "bridge/webkit_service.h"
#include "finder/finder_state.h"
#include "webview/webkit_window.h"

class CLocalWindow : public CWebKitWindow, public FinderState {
 public:
  // The service goes first, then the search state, then the window.
  ~CLocalWindow() override = default;

  void OnDropFiles(HDROP drop, const std::vector<std::u16string>& paths) override;
  // Closing the UI window asks every window to tear down, which ends the run.
  void OnClose() override;
  bool OnWindowObjectCleared(js::JSContextRef context, js::JSObjectRef windowObject,
                             IWebFrame* frame) override;

  CWebKitService m_service;
};

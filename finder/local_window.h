#pragma once

// The UI window: shows the UI page, holds the search state, and installs the script
// service object in every window object its page gets. Owned by the application object.

#include "bridge/webkit_service.h"
#include "finder/curl_copier.h"
#include "finder/finder_state.h"
#include "finder/preview.h"
#include "finder/saves/save_files.h"
#include "webview/webkit_window.h"

class CLocalWindow : public CWebKitWindow, public FinderState {
 public:
  // The service goes first, then the search state, then the window.
  ~CLocalWindow() override = default;

  void OnDropFiles(HDROP drop, const std::vector<std::u16string>& paths) override;
  // Closing the UI window asks every window to tear down, which ends the run. While saves
  // run it asks first: they stop (and leave no partial file), or the window stays.
  bool CanClose() override;
  void OnClose() override;
  // A new document in the main frame takes rows only once it has loaded.
  bool OnWindowObjectCleared(js::JSContextRef context, js::JSObjectRef windowObject,
                             IWebFrame* frame) override;
  // The page has loaded (the first time, again, or after its process died): it gets the
  // rows of its list.
  void OnLoadFinished(BSTR url) override;
  // A save the page asked for shows its dialog now, outside the page's call.
  void OnTimer(UINT_PTR timerId) override;

  CWebKitService m_service;
  CCurlCopier m_curlCopier{*this};
  Saves m_saves;
  Preview m_preview;
};

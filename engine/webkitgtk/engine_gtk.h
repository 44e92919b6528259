#pragma once

// The WebKitGTK engine's state for the run, and its one owner: the data manager (local
// storage, TLS policy) made when the first view is made, and two web contexts, each with
// settings of its own: the UI page's, whose web process loads the page agent and whose
// settings the engine preferences change, and the browsing windows', which never loads it
// and keeps the web security of a browser whatever the preferences say. The views keep
// their own registry (web_view_gtk.cpp). On the UI thread only.

#include "platform/gtk/gobject_ptr.h"

#include <webkit2/webkit2.h>

#include <string>

namespace webkitgtk {

class EngineGtk {
 public:
  static EngineGtk& Get();

  // The settings of the views of a context; the UI page's when forUiPage is true.
  WebKitSettings* Settings(bool forUiPage);
  WebKitSettings* SettingsOf(WebKitWebContext* context) { return Settings(IsUiContext(context)); }
  // The context of a view that is not made as a page's popup: the UI context for the
  // first view of the run (unless the run browses only), the browsing context for every
  // other.
  WebKitWebContext* ContextForNewView();
  WebKitWebsiteDataManager* DataManager();
  bool IsUiContext(WebKitWebContext* context) const { return context == m_uiContext.Get(); }

  // No view of the run is the UI page's from now on.
  void BrowseOnly() { m_browseOnly = true; }

  // From the first request that asks it on, every certificate is accepted.
  void AcceptAnyCertificate();

  std::u16string localStoragePath;

 private:
  EngineGtk() = default;
  GObjectPtr<WebKitWebContext> MakeContext(bool withAgent);

  GObjectPtr<WebKitSettings> m_uiSettings;
  GObjectPtr<WebKitSettings> m_browsingSettings;
  GObjectPtr<WebKitWebsiteDataManager> m_dataManager;
  GObjectPtr<WebKitWebContext> m_uiContext;
  GObjectPtr<WebKitWebContext> m_browsingContext;
  bool m_acceptsAnyCertificate = false;
  bool m_browseOnly = false;
};

}  // namespace webkitgtk

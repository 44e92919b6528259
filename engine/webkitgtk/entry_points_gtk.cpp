// The engine's entry points: WebKitCreateInstance makes the engine's objects, and
// shutDownWebKit ends what the run started, useBrowsingViewsOnly keeps the UI page's
// context from being made, and missingMediaDecoders says what media cannot be played here.

#include "engine/remote_script/host/remote_script.h"
#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/media_decoders_gtk.h"
#include "engine/webkitgtk/notification_center_gtk.h"
#include "engine/webkitgtk/preferences_gtk.h"
#include "engine/webkitgtk/url_request_gtk.h"
#include "engine/webkitgtk/web_view_gtk.h"
#include "platform/gtk/peer_widget.h"

HRESULT WebKitCreateInstance(REFCLSID clsid, IUnknown* outer, REFIID iid, void** object) {
  using namespace webkitgtk;
  return engine::CreateInstance(outer, iid, object, [&clsid](IUnknown*& created) {
    if (clsid == CLSID_WebView) {
      // Without a display there can be no web view.
      if (!platform::gtk::EnsureToolkit()) return E_FAIL;
      created = static_cast<IWebView*>(new WebViewGtk());
    } else if (clsid == CLSID_WebPreferences) {
      created = static_cast<IWebPreferences*>(new PreferencesGtk());
    } else if (clsid == CLSID_WebNotificationCenter) {
      created = new NotificationCenterGtk();
    } else if (clsid == CLSID_WebMutableURLRequest) {
      created = new URLRequestGtk();
    } else {
      return REGDB_E_CLASSNOTREG;
    }
    return S_OK;
  });
}

void shutDownWebKit() {
  webkitgtk::NotificationCenterGtk::Default().RemoveAllObservers();
  remote_script::StopListening();
}

void useBrowsingViewsOnly() { webkitgtk::EngineGtk::Get().BrowseOnly(); }

const char* missingMediaDecoders() {
  // The registry is read once: decoders installed while Trawler runs show at its next start.
  static const std::string missing = webkitgtk::MissingDecoders();
  return missing.empty() ? nullptr : missing.c_str();
}

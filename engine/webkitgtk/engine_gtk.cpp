#include "engine/webkitgtk/engine_gtk.h"

#include "engine/remote_script/host/remote_script.h"
#include "engine/webkitgtk/notification_center_gtk.h"
#include "engine/webkitgtk/page_requests_gtk.h"
#include "engine/webkitgtk/preferences_gtk.h"
#include "engine/webkitgtk/url_request_gtk.h"
#include "engine/webkitgtk/web_view_gtk.h"
#include "platform/text.h"
#include "platform/gtk/peer_widget.h"

namespace webkitgtk {
namespace {

// The page agent lies in page-agent/ beside the executable.
std::string AgentFolder() {
  g_autofree gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
  if (!executable) return std::string();
  g_autofree gchar* folder = g_path_get_dirname(executable);
  return std::string(folder) + "/page-agent";
}

// Each frame's new window object in the UI page reaches the frame-load delegate of the
// view whose page it is.
void ReportWindowObject(uint64_t page, uint64_t, bool, js::JSGlobalContextRef context,
                        js::JSObjectRef windowObject) {
  for (WebViewGtk* view : EngineGtk::Get().views) {
    if (view->PageId() == page) view->WindowObjectCleared(context, windowObject);
  }
}

}  // namespace

EngineGtk& EngineGtk::Get() {
  static EngineGtk* engine = new EngineGtk();
  return *engine;
}

WebKitSettings* EngineGtk::Settings(bool forUiPage) {
  GObjectPtr<WebKitSettings>& settings = forUiPage ? m_uiSettings : m_browsingSettings;
  if (!settings) {
    // A script's window.open needs no user gesture, as in the engine the system was
    // written for, so popups reach the UI delegate.
    settings = GObjectPtr<WebKitSettings>(webkit_settings_new_with_settings(
        "javascript-can-open-windows-automatically", TRUE, nullptr));
  }
  return settings.Get();
}

WebKitWebsiteDataManager* EngineGtk::DataManager() {
  if (!m_dataManager) {
    const std::string storage = platform::Utf8(localStoragePath);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    m_dataManager = GObjectPtr<WebKitWebsiteDataManager>(WEBKIT_WEBSITE_DATA_MANAGER(
        g_object_new(WEBKIT_TYPE_WEBSITE_DATA_MANAGER, "local-storage-directory",
                     storage.empty() ? nullptr : storage.c_str(), nullptr)));
    G_GNUC_END_IGNORE_DEPRECATIONS
    if (URLRequestGtk::AcceptsAnyCertificate()) {
      webkit_website_data_manager_set_tls_errors_policy(m_dataManager.Get(),
                                                        WEBKIT_TLS_ERRORS_POLICY_IGNORE);
    }
  }
  return m_dataManager.Get();
}

GObjectPtr<WebKitWebContext> EngineGtk::MakeContext(bool withAgent) {
  GObjectPtr<WebKitWebContext> context(
      webkit_web_context_new_with_website_data_manager(DataManager()));
  RefuseDownloads(context.Get());
  remote_script::AgentAddress address;
  if (withAgent && remote_script::StartListening(address)) {
    remote_script::SetWindowObjectHandler(ReportWindowObject);
    webkit_web_context_set_web_extensions_directory(context.Get(), AgentFolder().c_str());
    webkit_web_context_set_web_extensions_initialization_user_data(
        context.Get(), g_variant_new("(ss)", address.socketPath.c_str(), address.token.c_str()));
  }
  return context;
}

WebKitWebContext* EngineGtk::ContextForNewView() {
  if (!m_uiContext) {
    m_uiContext = MakeContext(true);
    return m_uiContext.Get();
  }
  if (!m_browsingContext) m_browsingContext = MakeContext(false);
  return m_browsingContext.Get();
}

}  // namespace webkitgtk

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

#include "engine/webkitgtk/engine_gtk.h"

#include "engine/remote_script/host/remote_script.h"
#include "engine/webkitgtk/page_requests_gtk.h"
#include "platform/text.h"

namespace webkitgtk {
namespace {

// The page agent lies in page-agent/ beside the executable.
std::string AgentFolder() {
  g_autofree gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
  if (!executable) return std::string();
  g_autofree gchar* folder = g_path_get_dirname(executable);
  return std::string(folder) + "/page-agent";
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
    if (m_acceptsAnyCertificate) {
      webkit_website_data_manager_set_tls_errors_policy(m_dataManager.Get(),
                                                        WEBKIT_TLS_ERRORS_POLICY_IGNORE);
    }
  }
  return m_dataManager.Get();
}

void EngineGtk::AcceptAnyCertificate() {
  m_acceptsAnyCertificate = true;
  webkit_website_data_manager_set_tls_errors_policy(DataManager(), WEBKIT_TLS_ERRORS_POLICY_IGNORE);
}

GObjectPtr<WebKitWebContext> EngineGtk::MakeContext(bool withAgent) {
  GObjectPtr<WebKitWebContext> context(
      webkit_web_context_new_with_website_data_manager(DataManager()));
  RefuseDownloads(context.Get());
  remote_script::AgentAddress address;
  if (withAgent && remote_script::StartListening(address)) {
    webkit_web_context_set_web_extensions_directory(context.Get(), AgentFolder().c_str());
    webkit_web_context_set_web_extensions_initialization_user_data(
        context.Get(), g_variant_new("(ss)", address.socketPath.c_str(), address.token.c_str()));
  }
  return context;
}

WebKitWebContext* EngineGtk::ContextForNewView() {
  if (!m_uiContext && !m_browseOnly) {
    m_uiContext = MakeContext(true);
    return m_uiContext.Get();
  }
  if (!m_browsingContext) m_browsingContext = MakeContext(false);
  return m_browsingContext.Get();
}

}  // namespace webkitgtk

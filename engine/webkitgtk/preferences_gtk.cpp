#include "engine/webkitgtk/preferences_gtk.h"

#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"

namespace webkitgtk {
namespace {

bool UiPageSetting(const char* name) {
  gboolean value = FALSE;
  g_object_get(EngineGtk::Get().Settings(true), name, &value, nullptr);
  return value;
}

}  // namespace

PreferencesGtk& PreferencesGtk::Standard() {
  static PreferencesGtk* standard = new PreferencesGtk(false);
  return *standard;
}

HRESULT PreferencesGtk::standardPreferences(IWebPreferences** standardPreferences) {
  if (!standardPreferences) return E_POINTER;
  *standardPreferences = &Standard();
  Standard().AddRef();
  return S_OK;
}

HRESULT PreferencesGtk::localStorageDatabasePath(BSTR* location) {
  return Answer(location, EngineGtk::Get().localStoragePath);
}

HRESULT PreferencesGtk::setLocalStorageDatabasePath(BSTR location) {
  EngineGtk::Get().localStoragePath = TextOf(location);
  return S_OK;
}

HRESULT PreferencesGtk::setLocalStorageEnabled(BOOL enabled) {
  for (bool forUiPage : {true, false}) {
    g_object_set(EngineGtk::Get().Settings(forUiPage), "enable-html5-local-storage",
                 enabled != FALSE, nullptr);
  }
  return S_OK;
}

HRESULT PreferencesGtk::localStorageEnabled(BOOL* enabled) {
  return Answer(enabled, UiPageSetting("enable-html5-local-storage"));
}

HRESULT PreferencesGtk::isWebSecurityEnabled(BOOL* enabled) {
  return Answer(enabled, !UiPageSetting("disable-web-security"));
}

HRESULT PreferencesGtk::setWebSecurityEnabled(BOOL enabled) {
  // Only the UI page, a file of ours, goes without it: a page from the web that could reach
  // the user's files and any origin would hand them to its site. Without web security, the
  // UI page may also reach other files and any origin.
  const gboolean off = enabled == FALSE;
  g_object_set(EngineGtk::Get().Settings(true), "disable-web-security", off,
               "allow-file-access-from-file-urls", off, "allow-universal-access-from-file-urls",
               off, nullptr);
  return S_OK;
}

}  // namespace webkitgtk

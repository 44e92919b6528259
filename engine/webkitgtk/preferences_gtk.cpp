#include "engine/webkitgtk/preferences_gtk.h"

#include "engine/webkitgtk/engine_gtk.h"
#include "engine/webkitgtk/engine_text.h"

namespace webkitgtk {
namespace {

bool Setting(const char* name) {
  gboolean value = FALSE;
  g_object_get(EngineGtk::Get().Settings(), name, &value, nullptr);
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
  g_object_set(EngineGtk::Get().Settings(), "enable-html5-local-storage", enabled != FALSE,
               nullptr);
  return S_OK;
}

HRESULT PreferencesGtk::localStorageEnabled(BOOL* enabled) {
  return Answer(enabled, Setting("enable-html5-local-storage"));
}

HRESULT PreferencesGtk::isWebSecurityEnabled(BOOL* enabled) {
  return Answer(enabled, !Setting("disable-web-security"));
}

HRESULT PreferencesGtk::setWebSecurityEnabled(BOOL enabled) {
  // Without web security, file pages may also reach other files and any origin.
  const gboolean off = enabled == FALSE;
  g_object_set(EngineGtk::Get().Settings(), "disable-web-security", off,
               "allow-file-access-from-file-urls", off, "allow-universal-access-from-file-urls",
               off, nullptr);
  return S_OK;
}

}  // namespace webkitgtk

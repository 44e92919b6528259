#pragma once

// Preferences objects. Every one answers the standard preferences: the local storage switch
// of every view, the web security of the UI page (browsing windows always keep theirs), and
// the local storage folder the data manager is made with when the first view is made.

#include "engine/com_object.h"

namespace webkitgtk {

class PreferencesGtk : public engine::ComObject<IWebPreferences, IWebPreferencesPrivate> {
 public:
  explicit PreferencesGtk(bool counted = true) : ComObject(counted) {}
  static PreferencesGtk& Standard();

  HRESULT standardPreferences(IWebPreferences** standardPreferences) override;
  HRESULT localStorageDatabasePath(BSTR* location) override;
  HRESULT setLocalStorageDatabasePath(BSTR location) override;
  HRESULT setLocalStorageEnabled(BOOL enabled) override;
  HRESULT localStorageEnabled(BOOL* enabled) override;
  HRESULT isWebSecurityEnabled(BOOL* enabled) override;
  HRESULT setWebSecurityEnabled(BOOL enabled) override;
};

}  // namespace webkitgtk

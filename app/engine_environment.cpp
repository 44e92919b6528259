#include "app/engine_environment.h"

#include "webview/com_ptr.h"

namespace {

constexpr DWORD kModulePathLength = 512;
constexpr DWORD kUrlLength = 2084;

// Runs one call on the private facet of the standard preferences, obtained anew for it;
// false when the preferences or the facet cannot be had, or the call fails.
template <typename Call>
bool WithPreferences(Call call) {
  ComPtr<IWebPreferences> preferences;
  if (!GetStandardPreferences(preferences.Receive())) return false;
  ComPtr<IWebPreferencesPrivate> facet;
  if (FAILED(preferences->QueryInterface(IID_IWebPreferencesPrivate, facet.ReceiveVoid()))) {
    return false;
  }
  return SUCCEEDED(call(*facet.Get()));
}

void DisableWebSecurity() {
  BOOL enabled = FALSE;
  WithPreferences(
      [&](IWebPreferencesPrivate& facet) { return facet.isWebSecurityEnabled(&enabled); });
  if (enabled) {
    WithPreferences(
        [](IWebPreferencesPrivate& facet) { return facet.setWebSecurityEnabled(FALSE); });
  }
}

void EnableLocalStorage() {
  BOOL enabled = FALSE;
  WithPreferences(
      [&](IWebPreferencesPrivate& facet) { return facet.localStorageEnabled(&enabled); });
  if (!enabled) {
    WithPreferences(
        [](IWebPreferencesPrivate& facet) { return facet.setLocalStorageEnabled(TRUE); });
  }
}

void SetStorageLocation() {
  ScopedBstr current;
  WithPreferences([&](IWebPreferencesPrivate& facet) {
    return facet.localStorageDatabasePath(current.Receive());
  });
  if (!current.Text().empty()) return;
  // Without an application-data folder there is nowhere to put the storage; the engine
  // keeps its own default rather than folders at the root.
  std::u16string path;
  if (!GetAppDataFolder(path)) return;
  path += u"/WebKitUtil";
  CreateDirectoryW(path.c_str(), nullptr);
  path += u"/LocalStorage";
  CreateDirectoryW(path.c_str(), nullptr);
  ScopedBstr location(path);
  WithPreferences([&](IWebPreferencesPrivate& facet) {
    return facet.setLocalStorageDatabasePath(location.Get());
  });
}

}  // namespace

void ApplyEnginePreferences() {
  DisableWebSecurity();
  EnableLocalStorage();
  SetStorageLocation();
}

bool GetStandardPreferences(IWebPreferences** preferences) {
  if (!preferences) return false;
  *preferences = nullptr;
  ComPtr<IWebPreferences> factory;
  if (FAILED(WebKitCreateInstance(CLSID_WebPreferences, nullptr, IID_IWebPreferences,
                                  factory.ReceiveVoid()))) {
    return false;
  }
  return SUCCEEDED(factory->standardPreferences(preferences)) && *preferences;
}

bool GetAppDataFolder(std::u16string& folder) {
  folder.clear();
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, CSIDL_APPDATA, nullptr, 0, &list))) return false;
  SHFILEINFOW info{};
  const uintptr_t found = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                                         SHGFI_PIDL | SHGFI_DISPLAYNAME);
  ILFree(list);
  WCHAR path[MAX_PATH] = {};
  if (!found || FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path))) return false;
  folder = path;
  while (folder.size() > 1 && folder.back() == u'/') folder.pop_back();
  return true;
}

bool GetModuleFolder(std::u16string& folder) {
  WCHAR path[kModulePathLength] = {};
  GetModuleFileNameW(nullptr, path, kModulePathLength);
  const BOOL removed = PathRemoveFileSpecW(path);
  folder = path;
  return removed != FALSE;
}

bool GetUiPagePath(std::u16string& path) {
  path.clear();
  std::u16string folder;
  if (!GetModuleFolder(folder)) return false;
  WCHAR combined[MAX_PATH] = {};
  // A path too long to combine is no page path at all.
  if (!PathCombineW(combined, folder.c_str(), u"Html/index.html")) return false;
  path = combined;
  return true;
}

bool GetUiPageUrl(std::u16string& url) {
  url.clear();
  std::u16string path;
  if (!GetUiPagePath(path)) return false;
  WCHAR buffer[kUrlLength] = {};
  DWORD length = kUrlLength;
  const HRESULT result = UrlCreateFromPathW(path.c_str(), buffer, &length, 0);
  if (result != S_OK && result != S_FALSE) return false;
  url = buffer;
  return true;
}

#pragma once

// The engine's shared preferences and storage folder, and where the UI page lies.

#include "webview/web_engine.h"

#include <string>

// Web security off, local storage on, and (when the engine has none yet) the storage
// folder <application data>/WebKitUtil/LocalStorage, created. Runs before any web view.
void ApplyEnginePreferences();
// The engine's standard preferences, with one reference for the caller.
bool GetStandardPreferences(IWebPreferences** preferences);
bool GetAppDataFolder(std::u16string& folder);
bool GetModuleFolder(std::u16string& folder);
// <executable's folder>/Html/index.html, whether it exists or not.
bool GetUiPagePath(std::u16string& path);
bool GetUiPageUrl(std::u16string& url);

#pragma once

// Saving the list to a file the user chooses: the page asks, the dialog is shown after its
// call returns (the page never waits on it), the file is written whole or not at all, and
// the page's savedFile hears how it went: {ok, cancelled, path, error}.

#include "finder/finder_state.h"
#include "platform/win32.h"

#include <json/json.h>

#include <string>

// The message the UI window is posted (a WM_TIMER with this identifier) to show the dialog.
inline constexpr UINT_PTR kSaveTimer = 0x5A7E;

// {"format": "har", "ids": [...]} or {"format": "csv" | "json", "text": "..."}: kept, and the
// dialog asked for. 0 for anything else, or when a save already waits.
int RequestSave(const Json::Value& params, FinderState& state, HWND window);
// Shows the save dialog for the waiting save, writes the file and tells the page.
void RunPendingSave(FinderState& state, HWND owner);
// Shows the save dialog (or, for a folder, the folder dialog) with the suggested name; the
// chosen path, empty when the user cancelled. No second save is taken while it is up.
std::string AskSavePath(FinderState& state, HWND owner, const std::u16string& suggested,
                        const char16_t* title, bool folder);
// The name a file has beside its place until it is whole.
std::string PartialPath(const std::string& path);
// Writes the data to a new file beside the path, then renames it into place: the path holds
// the whole data or what it held before. False with the reason when it fails.
bool WriteFileWhole(const std::string& path, const std::string& data, std::string& error);

#pragma once

// Saving what rows list through the browsing session, with progress: one row's file, every
// shown row's file into a folder, or an HLS playlist's segments joined into one file. The
// page asks, the dialog shows after its call returns, and the page's saveProgress hears
// each save: {job, name, state: "running" | "done" | "failed" | "cancelled", bytes, total,
// item, items (the addresses, segments when joined), joined, path, error}, running at most
// four times a second. A file is written under a temporary name beside its place and
// renamed into it when whole; a failed or cancelled file leaves nothing behind.

#include "finder/finder_state.h"
#include "finder/saves/save_files.h"

#include <json/json.h>

#include <string>

// saveFile {id}, saveShown {ids: [...]} or savePlaylist {id, variant}: kept, and the dialog
// asked for. 0 for anything else, or when a save's dialog is waiting; a playlist that cannot
// be saved as one file gets 0 and answer["message"] saying why.
int RequestFileSave(const std::u16string& method, const Json::Value& params, FinderState& state,
                    Saves& saves, HWND window, Json::Value& answer);
// Shows the save's dialog and starts it, fetching with the view's session.
void RunFileSave(const FileSave& save, FinderState& state, Saves& saves, HWND owner,
                 IWebView* view);
// cancelSave {job}.
int CancelSave(const Json::Value& params, Saves& saves);

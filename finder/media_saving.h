#pragma once

// Saving what rows list through the browsing session, with progress: one row's file, every
// shown row's file into a folder, or an HLS playlist's segments joined into one file. The
// page asks, the dialog shows after its call returns, and the page's saveProgress hears
// each save: {job, name, state: "running" | "done" | "failed" | "cancelled", bytes, total,
// item, items (the addresses, segments when joined), joined, path, error}, running at most
// four times a second. A file is written under
// a temporary name beside its place and renamed into it when whole; a failed or cancelled
// file leaves nothing behind.

#include "finder/save_job.h"
#include "platform/win32.h"

#include <json/json.h>

#include <string>

struct FinderState;
struct PendingSave;

// saveFile {id}, saveShown {ids: [...]} or savePlaylist {id, variant}: kept, and the dialog
// asked for. 0 for anything else, or when a save's dialog is waiting; a playlist that cannot
// be saved as one file gets 0 and answer["message"] saying why.
int RequestMediaSave(const std::u16string& method, const Json::Value& params, FinderState& state,
                     HWND window, Json::Value& answer);
// Whether the waiting save is one of these; then RunMediaSave shows its dialog and starts it.
bool IsMediaSave(const PendingSave& save);
void RunMediaSave(FinderState& state, const PendingSave& save, HWND owner);
// cancelSave {job}.
int CancelSave(const Json::Value& params, FinderState& state);

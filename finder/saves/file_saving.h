#pragma once

// Saving what rows list through the browsing session: one row's file, every shown row's
// file into a folder, or an HLS playlist's segments joined into one file (job_runner.h runs
// them and tells their progress). The page asks, and what cannot be saved exactly is refused
// at once with why (a blob: address, a request that was no GET, a stream that cannot be
// joined whole); the dialog shows after the call returns, suggesting a name that is one
// path component (file_names.h).

#include "finder/finder_state.h"
#include "finder/saves/save_files.h"

#include <json/json.h>

#include <string>
#include <vector>

// saveFile {id}, saveShown {ids: [...]} or savePlaylist {id, variant}: kept, and the dialog
// asked for. 0 for anything else, or when a save's dialog is waiting; a row that cannot be
// saved gets 0 and answer["message"] saying why.
int RequestFileSave(const std::u16string& method, const Json::Value& params, FinderState& state,
                    Saves& saves, HWND window, Json::Value& answer);
// Shows the save's dialog and starts it, fetching with the view's session.
void RunFileSave(const FileSave& save, FinderState& state, Saves& saves, HWND owner,
                 IWebView* view);
// Starts the save without a dialog, fetching with the view's session: a folder save into the
// folder, a file or a stream to its suggested name in it ("name (2).ext" and so on when that
// is taken: nothing there is replaced). The job's number, or 0 when there is nothing to save.
uint32_t StartFileSaveIn(const FileSave& save, FinderState& state, Saves& saves, IWebView* view,
                         const std::string& folder);
// The streams among the rows, each to be saved as one file (a master playlist's best
// variant): every playlist row that no master playlist among them lists as its variant.
// Those that cannot be joined whole are left out, each said in `refusals` ("name as one
// file: why").
std::vector<FileSave> StreamSavesOf(const FinderState& state, const std::vector<uint32_t>& ids,
                                    std::vector<std::string>& refusals);
// cancelSave {job}.
int CancelSave(const Json::Value& params, Saves& saves);

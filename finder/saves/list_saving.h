#pragma once

// Saving the list to a file the user chooses: HAR of the rows' records, or the CSV or JSON
// text the page made. The file is written whole or not at all, and the page's savedFile
// hears how it went: {ok, cancelled, path, error}.

#include "finder/finder_state.h"
#include "finder/saves/save_files.h"

#include <json/json.h>

#include <string>
#include <vector>

// save {"format": "har" | "har-sanitized", "ids": [...]} or {"format": "csv" | "json",
// "text": "..."}: kept, and the dialog asked for. 0 for anything else, or when a save
// already waits.
int RequestListSave(const Json::Value& params, Saves& saves, HWND window);
// The HAR text of the rows' records, as the HAR saves write it.
std::string HarText(const FinderState& state, const std::vector<uint32_t>& ids, bool sanitized);
// Shows the save's dialog, writes the file and tells the page.
void RunListSave(const ListSave& save, const FinderState& state, Saves& saves, HWND owner);

#pragma once

// What every kind of save shares: the save the page asked for, kept until its dialog shows
// (after the page's call has returned: the page never waits on a dialog), the dialog itself,
// and the saves' state that the UI window holds.

#include "finder/saves/save_job.h"
#include "platform/win32.h"

#include <json/json.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// The message the UI window is posted (a WM_TIMER with this identifier) to show the dialog.
inline constexpr UINT_PTR kSaveTimer = 0x5A7E;
// The timer of the saves' clock window while a failed fetch waits to be made again or a
// stream's tracks are muxed: its WM_TIMER calls TickSaves (job_runner.h).
inline constexpr UINT_PTR kSavesTimer = 0x5A7F;

// The list written to one file: HAR made of the rows' records, or CSV or JSON as the page
// made the text.
struct ListSave {
  enum class Format { kHar, kSanitizedHar, kCsv, kJson };
  Format format = Format::kHar;
  std::vector<uint32_t> ids;
  std::string text;
};

// Files fetched through the browsing session: one row's file, each shown row's file into a
// folder, or a playlist's segments (a master playlist's variant's) joined into one file.
struct FileSave {
  enum class Kind { kFile, kFolder, kStream };
  Kind kind = Kind::kFile;
  std::vector<uint32_t> ids;
  size_t variant = 0;
};

using PendingSave = std::variant<ListSave, FileSave>;

// The UI window's saves: the one waiting for its dialog, whether a dialog is up (no second
// save is taken meanwhile), and the saves fetching now, by their number. On the UI thread.
struct Saves {
  std::optional<PendingSave> pending;
  bool dialogShown = false;
  std::map<uint32_t, std::unique_ptr<SaveJob>> jobs;
  uint32_t nextJob = 1;
  // The last progress of each save as told to the page (of ended ones, the latest few): a
  // page that loads again, after its process died, hears them again.
  std::map<uint32_t, Json::Value> told;
  // The window whose timer paces fetches made again after a wait and looks in on muxes;
  // without one, fetches are made again at once and muxes are waited for.
  HWND clock = nullptr;
  bool clockRuns = false;  // the clock's kSavesTimer runs
};

// Keeps the save and posts the window the message that shows its dialog. False, keeping
// nothing, when a save already waits or a dialog is up.
bool AwaitDialog(Saves& saves, PendingSave save, HWND window);
// A non-empty list of at most `most` row identifiers.
bool ReadIds(const Json::Value& value, size_t most, std::vector<uint32_t>& ids);
// Shows the save dialog (or, for a folder, the folder dialog) with the suggested name; the
// chosen path, empty when the user cancelled.
std::string AskSavePath(Saves& saves, HWND owner, const std::u16string& suggested,
                        const char16_t* title, bool folder);
// Writes the data to a new file beside the path, then renames it into place: the path holds
// the whole data or what it held before. False with the reason when it fails.
bool WriteFileWhole(const std::string& path, const std::string& data, std::string& error);
// The reason of the last failed file call, for a person.
std::string LastFileError();

#include "finder/saves/save_files.h"

#include "finder/saves/partial_file.h"
#include "finder/text/text_conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr DWORD kLongestPath = 4096;

}  // namespace

bool AwaitDialog(Saves& saves, PendingSave save, HWND window) {
  if (saves.pending || saves.dialogShown || !PostMessageW(window, WM_TIMER, kSaveTimer, 0)) {
    return false;
  }
  saves.pending = std::move(save);
  return true;
}

bool ReadIds(const Json::Value& value, size_t most, std::vector<uint32_t>& ids) {
  if (!value.isArray() || value.empty() || value.size() > most) return false;
  for (const Json::Value& id : value) {
    if (!id.isUInt()) return false;
    ids.push_back(id.asUInt());
  }
  return true;
}

std::string AskSavePath(Saves& saves, HWND owner, const std::u16string& suggested,
                        const char16_t* title, bool folder) {
  std::u16string buffer(kLongestPath, u'\0');
  saves.dialogShown = true;
  BOOL chosen = FALSE;
  if (folder) {
    const BROWSEINFOW dialog{owner, title, BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE};
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&dialog);
    chosen = item && SHGetPathFromIDListEx(item, buffer.data(), kLongestPath, 0);
    CoTaskMemFree(item);
  } else {
    std::copy_n(suggested.begin(), std::min<size_t>(suggested.size(), kLongestPath - 1),
                buffer.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kLongestPath;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_OVERWRITEPROMPT;
    chosen = GetSaveFileNameW(&dialog);
  }
  saves.dialogShown = false;
  return chosen ? Utf8Of(buffer.c_str()) : std::string();
}

bool WriteFileWhole(const std::string& path, const std::string& data, std::string& error) {
  PartialFile file;
  if (file.Open(path) && file.Write(data) && file.MoveTo(path)) return true;
  error = LastFileError();
  return false;
}

std::string LastFileError() { return std::strerror(errno ? errno : EIO); }

#include "finder/saving.h"

#include "bridge/json_text.h"
#include "finder/har_export.h"
#include "finder/media_saving.h"
#include "finder/result_reporting.h"
#include "finder/text_conversion.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kMostIds = 10'000'000;
constexpr DWORD kLongestPath = 4096;

struct Format {
  const char* name;
  const char16_t* title;
  const char16_t* suggested;
};

constexpr Format kFormats[] = {
    {"har", u"Save as HAR", u"trawler.har"},
    {"csv", u"Save as CSV", u"trawler.csv"},
    {"json", u"Save as JSON", u"trawler.json"},
};

const Format* FormatNamed(const std::string& name) {
  for (const Format& format : kFormats) {
    if (name == format.name) return &format;
  }
  return nullptr;
}

bool ReadIds(const Json::Value& value, std::vector<uint32_t>& ids) {
  if (!value.isArray() || value.size() > kMostIds) return false;
  for (const Json::Value& id : value) {
    if (!id.isUInt()) return false;
    ids.push_back(id.asUInt());
  }
  return true;
}

std::string HarText(FinderState& state, const std::vector<uint32_t>& ids) {
  std::vector<const RequestRecord*> records;
  for (uint32_t id : ids) {
    if (const RequestRecord* record = FindRecord(state, id)) records.push_back(record);
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = " ";
  return Json::writeString(writer, HarLog(records, state.m_searches)) + "\n";
}

void Tell(bool ok, bool cancelled, const std::string& path, const std::string& error) {
  Json::Value outcome(Json::objectValue);
  outcome["ok"] = ok;
  outcome["cancelled"] = cancelled;
  outcome["path"] = path;
  outcome["error"] = error;
  PostRow(WriteJsonText(outcome), "savedFile");
}

}  // namespace

int RequestSave(const Json::Value& params, FinderState& state, HWND window) {
  if (!params.isObject() || !params["format"].isString() || state.m_save ||
      state.m_saveDialogShown) {
    return 0;
  }
  PendingSave save;
  save.format = params["format"].asString();
  if (!FormatNamed(save.format)) return 0;
  if (save.format == "har" ? !ReadIds(params["ids"], save.ids) : !params["text"].isString()) {
    return 0;
  }
  if (save.format != "har") save.text = params["text"].asString();
  if (!PostMessageW(window, WM_TIMER, kSaveTimer, 0)) return 0;
  state.m_save = std::move(save);
  return 1;
}

void RunPendingSave(FinderState& state, HWND owner) {
  if (!state.m_save) return;
  const PendingSave save = std::move(*state.m_save);
  state.m_save.reset();
  if (IsMediaSave(save)) return RunMediaSave(state, save, owner);
  const Format* format = FormatNamed(save.format);
  const std::string path = AskSavePath(state, owner, format->suggested, format->title, false);
  if (path.empty()) {
    Tell(false, true, "", "");
    return;
  }
  const std::string data = save.format == "har" ? HarText(state, save.ids) : save.text;
  std::string error;
  const bool written = WriteFileWhole(path, data, error);
  Tell(written, false, path, error);
}

std::string AskSavePath(FinderState& state, HWND owner, const std::u16string& suggested,
                        const char16_t* title, bool folder) {
  std::u16string buffer(kLongestPath, u'\0');
  state.m_saveDialogShown = true;
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
  state.m_saveDialogShown = false;
  return chosen ? Utf8Of(buffer.c_str()) : std::string();
}

std::string PartialPath(const std::string& path) {
  return path + ".part-" + std::to_string(getpid());
}

bool WriteFileWhole(const std::string& path, const std::string& data, std::string& error) {
  const std::string partial = PartialPath(path);
  FILE* file = std::fopen(partial.c_str(), "wbx");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  const bool whole = std::fwrite(data.data(), 1, data.size(), file) == data.size() &&
                     std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  int failure = whole ? 0 : errno;
  if (std::fclose(file) != 0 && !failure) failure = errno;
  if (!failure && std::rename(partial.c_str(), path.c_str()) != 0) failure = errno;
  if (!failure) return true;
  std::remove(partial.c_str());
  error = std::strerror(failure ? failure : EIO);
  return false;
}

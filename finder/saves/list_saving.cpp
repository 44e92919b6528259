#include "finder/saves/list_saving.h"

#include "finder/records/har_export.h"
#include "finder/result_reporting.h"

namespace {

constexpr size_t kMostIds = 10'000'000;

struct Format {
  ListSave::Format format;
  const char* name;
  const char16_t* title;
  const char16_t* suggested;
};

constexpr Format kFormats[] = {
    {ListSave::Format::kHar, "har", u"Save as HAR", u"trawler.har"},
    {ListSave::Format::kSanitizedHar, "har-sanitized", u"Save as HAR without cookies",
     u"trawler-sanitized.har"},
    {ListSave::Format::kCsv, "csv", u"Save as CSV", u"trawler.csv"},
    {ListSave::Format::kJson, "json", u"Save as JSON", u"trawler.json"},
};

bool IsHar(ListSave::Format format) {
  return format == ListSave::Format::kHar || format == ListSave::Format::kSanitizedHar;
}

const Format* FormatNamed(const std::string& name) {
  for (const Format& format : kFormats) {
    if (name == format.name) return &format;
  }
  return nullptr;
}

const Format& FormatOf(ListSave::Format format) {
  for (const Format& known : kFormats) {
    if (known.format == format) return known;
  }
  return kFormats[0];
}

void TellSaved(bool ok, bool cancelled, const std::string& path, const std::string& error) {
  Json::Value outcome(Json::objectValue);
  outcome["ok"] = ok;
  outcome["cancelled"] = cancelled;
  outcome["path"] = path;
  outcome["error"] = error;
  TellPage("savedFile", outcome);
}

}  // namespace

std::string HarText(const FinderState& state, const std::vector<uint32_t>& ids, bool sanitized) {
  std::vector<const RequestRecord*> records;
  for (uint32_t id : ids) {
    if (const RequestRecord* record = FindRecord(state, id)) records.push_back(record);
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = " ";
  return Json::writeString(writer, HarLog(records, state.m_searches, sanitized)) + "\n";
}

int RequestListSave(const Json::Value& params, Saves& saves, HWND window) {
  if (!params.isObject() || !params["format"].isString()) return 0;
  const Format* format = FormatNamed(params["format"].asString());
  if (!format) return 0;
  ListSave save;
  save.format = format->format;
  if (IsHar(save.format)) {
    if (!ReadIds(params["ids"], kMostIds, save.ids)) return 0;
  } else {
    if (!params["text"].isString()) return 0;
    save.text = params["text"].asString();
  }
  return AwaitDialog(saves, std::move(save), window) ? 1 : 0;
}

void RunListSave(const ListSave& save, const FinderState& state, Saves& saves, HWND owner) {
  const Format& format = FormatOf(save.format);
  const std::string path = AskSavePath(saves, owner, format.suggested, format.title, false);
  if (path.empty()) return TellSaved(false, true, "", "");
  const std::string data =
      IsHar(save.format) ? HarText(state, save.ids, save.format == ListSave::Format::kSanitizedHar)
                         : save.text;
  std::string error;
  const bool written = WriteFileWhole(path, data, error);
  TellSaved(written, false, path, error);
}

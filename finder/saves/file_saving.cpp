#include "finder/saves/file_saving.h"

#include "finder/records/clocks.h"
#include "finder/result_reporting.h"
#include "finder/text/text_conversion.h"
#include "finder/text/url_names.h"

#include <set>

namespace {

constexpr size_t kMostFiles = 10'000;
constexpr double kProgressGapMs = 250;

void TellProgress(const SaveJob& job, const char* state, const std::string& error = std::string()) {
  Json::Value progress(Json::objectValue);
  progress["job"] = job.id;
  progress["name"] = job.name;
  progress["state"] = state;
  progress["bytes"] = static_cast<Json::Int64>(job.bytes);
  progress["total"] = static_cast<Json::Int64>(job.total);
  progress["item"] = static_cast<Json::UInt64>(job.index);
  progress["items"] = static_cast<Json::UInt64>(job.urls.size());
  progress["path"] = job.folder.empty() ? job.path : job.folder;
  progress["joined"] = job.folder.empty();
  progress["error"] = error;
  TellPage("saveProgress", progress);
}

// A name for a file in a folder: the address's file name without path characters.
std::string FileNameFor(const std::string& url) {
  std::string name;
  if (!UrlFileNameUtf8(url, name)) name.clear();
  for (char& c : name) c = c == '/' || c == '\\' ? '_' : c;
  return name.empty() || name == "." || name == ".." ? "download" : name;
}

// Fetches end later than the call that started them, and their job may have ended (been
// cancelled) by then: they find it again by its number.
SaveJob* FindJob(Saves& saves, uint32_t id) {
  const auto found = saves.jobs.find(id);
  return found == saves.jobs.end() ? nullptr : found->second.get();
}

// A running save's progress, at most once every kProgressGapMs unless told now.
void TellRunning(SaveJob& job, bool now = false) {
  const double clock = SteadyMs();
  if (!now && job.toldAt && clock - job.toldAt < kProgressGapMs) return;
  job.toldAt = clock;
  TellProgress(job, "running");
}

void EndJob(Saves& saves, SaveJob& job, const char* state, const std::string& error) {
  TellProgress(job, state, error);
  saves.jobs.erase(job.id);
}

void Fail(Saves& saves, SaveJob& job, const std::string& error) {
  EndJob(saves, job, "failed", error);
}

void Next(Saves& saves, SaveJob& job);

// The address in hand ended well: its file goes into place, or the next address follows.
void ItemDone(Saves& saves, SaveJob& job) {
  if (!job.folder.empty()) {
    std::string placed;
    if (!job.file.PlaceInFolder(job.folder, FileNameFor(job.urls[job.index]), placed)) {
      return Fail(saves, job, LastFileError());
    }
  }
  ++job.index;
  Next(saves, job);
}

void Fetch(Saves& saves, SaveJob& job) {
  Saves* table = &saves;
  const uint32_t id = job.id;
  FetchHandlers handlers;
  handlers.response = [table, id](int64_t length) {
    SaveJob* job = FindJob(*table, id);
    if (job && job->urls.size() == 1) job->total = length;
  };
  handlers.data = [table, id](std::string_view bytes) {
    SaveJob* job = FindJob(*table, id);
    if (!job) return false;
    if (!job->file.Write(bytes)) {
      // The job ends here, with the reason; the fetch's own end then finds no job.
      Fail(*table, *job, LastFileError());
      return false;
    }
    // A save's first bytes are told at once: the page sees that it is under way.
    const bool first = job->bytes == 0;
    job->bytes += static_cast<int64_t>(bytes.size());
    TellRunning(*job, first);
    return true;
  };
  handlers.end = [table, id](const std::string& error) {
    SaveJob* job = FindJob(*table, id);
    if (!job) return;
    if (!error.empty()) return Fail(*table, *job, job->urls[job->index] + ": " + error);
    ItemDone(*table, *job);
  };
  job.fetch = CSessionFetch::Start(job.view.Get(), job.urls[job.index], job.referer, handlers);
  if (!job.fetch) Fail(saves, job, "There is no browsing window to fetch with");
}

void Next(Saves& saves, SaveJob& job) {
  if (job.index == job.urls.size()) {
    if (job.folder.empty() && !job.file.MoveTo(job.path)) {
      return Fail(saves, job, LastFileError());
    }
    return EndJob(saves, job, "done", "");
  }
  const bool opens = job.folder.empty()
                         ? job.file.IsOpen() || job.file.Open(job.path)
                         : job.file.Open(job.folder + "/" + FileNameFor(job.urls[job.index]));
  if (!opens) return Fail(saves, job, LastFileError());
  TellRunning(job);
  Fetch(saves, job);
}

// Why a playlist cannot be saved as one file; empty when it can.
std::string RefusalOf(const PlaylistFacts& facts) {
  if (facts.kind == PlaylistKind::kDash) {
    return "Saving a DASH stream as one file is not supported; Save shown files… saves its files";
  }
  if (!facts.encryption.empty()) {
    return "This stream is encrypted (" + facts.encryption +
           "); saving it as one file is not supported";
  }
  if (facts.kind == PlaylistKind::kHlsMedia && facts.segments.empty()) {
    return "The playlist lists no segments";
  }
  if (facts.kind != PlaylistKind::kHlsMedia && facts.kind != PlaylistKind::kHlsMaster) {
    return "This is not an HLS playlist";
  }
  return std::string();
}

// A master playlist's variant is read first: its segments, unless it is encrypted.
void ReadVariant(Saves& saves, SaveJob& job) {
  Saves* table = &saves;
  const uint32_t id = job.id;
  FetchText(job.view.Get(), job.variantUrl, job.referer, kMostPlaylistBytes,
            [table, id](const std::string& text, const std::string& error) {
              SaveJob* job = FindJob(*table, id);
              if (!job) return;
              if (!error.empty()) return Fail(*table, *job, job->variantUrl + ": " + error);
              const PlaylistFacts facts = ReadPlaylist(text, job->variantUrl);
              const std::string refusal = facts.kind == PlaylistKind::kHlsMaster
                                              ? "The variant is a master playlist"
                                              : RefusalOf(facts);
              if (!refusal.empty()) return Fail(*table, *job, refusal);
              job->urls = facts.segments;
              Next(*table, *job);
            });
}

// The playlist a savePlaylist names, and why it cannot be saved (empty when it can).
const RequestRecord* PlaylistRow(const Json::Value& params, FinderState& state, size_t& variant,
                                 std::string& refusal) {
  const RequestRecord* row =
      params["id"].isUInt() ? FindRecord(state, params["id"].asUInt()) : nullptr;
  if (!row || !row->playlist) return nullptr;
  variant = params["variant"].isUInt() ? params["variant"].asUInt() : 0;
  refusal = RefusalOf(*row->playlist);
  if (refusal.empty() && row->playlist->kind == PlaylistKind::kHlsMaster &&
      (variant >= row->playlist->variants.size() || row->playlist->variants[variant].url.empty())) {
    refusal = "The master playlist has no such variant";
  }
  return row;
}

// The job a waiting save makes, with its addresses; the dialog names where it goes.
std::unique_ptr<SaveJob> JobFor(FinderState& state, const FileSave& save) {
  auto job = std::make_unique<SaveJob>();
  std::set<std::string> seen;
  for (uint32_t id : save.ids) {
    const RequestRecord* row = FindRecord(state, id);
    if (!row || !seen.insert(row->url).second) continue;
    if (job->urls.empty()) job->referer = HeaderValue(row->requestHeaders, "Referer");
    job->urls.push_back(row->url);
  }
  if (job->urls.empty()) return nullptr;
  job->name = FileNameFor(job->urls.front());
  if (save.kind == FileSave::Kind::kFolder) {
    job->name = std::to_string(job->urls.size()) + (job->urls.size() == 1 ? " file" : " files");
  } else if (save.kind == FileSave::Kind::kStream) {
    const RequestRecord* row = FindRecord(state, save.ids.front());
    const PlaylistFacts& facts = *row->playlist;
    // A master playlist's variant, and a live playlist (whose first segments may be gone
    // by now), are read when the save starts.
    if (facts.kind == PlaylistKind::kHlsMaster) job->variantUrl = facts.variants[save.variant].url;
    if (facts.live) job->variantUrl = row->url;
    job->urls = job->variantUrl.empty() ? facts.segments : std::vector<std::string>();
    std::string stem = job->name.substr(0, job->name.rfind('.'));
    if (stem.empty()) stem = "stream";
    if (facts.kind == PlaylistKind::kHlsMaster &&
        !facts.variants[save.variant].resolution.empty()) {
      stem += " " + facts.variants[save.variant].resolution;
    }
    job->name = stem + (facts.fragmentedMp4 ? ".mp4" : ".ts");
  }
  return job;
}

const char16_t* DialogTitle(FileSave::Kind kind) {
  switch (kind) {
    case FileSave::Kind::kFolder:
      return u"Save the shown files into a folder";
    case FileSave::Kind::kStream:
      return u"Save the stream as one file";
    case FileSave::Kind::kFile:
      break;
  }
  return u"Save the file";
}

}  // namespace

int RequestFileSave(const std::u16string& method, const Json::Value& params, FinderState& state,
                    Saves& saves, HWND window, Json::Value& answer) {
  if (!params.isObject() || saves.pending || saves.dialogShown) return 0;
  FileSave save;
  if (method == u"saveFile" && params["id"].isUInt() && FindRecord(state, params["id"].asUInt())) {
    save.kind = FileSave::Kind::kFile;
    save.ids.push_back(params["id"].asUInt());
  } else if (method == u"saveShown" && ReadIds(params["ids"], kMostFiles, save.ids)) {
    save.kind = FileSave::Kind::kFolder;
  } else if (method == u"savePlaylist") {
    std::string refusal;
    const RequestRecord* row = PlaylistRow(params, state, save.variant, refusal);
    if (!row) return 0;
    if (!refusal.empty()) {
      answer["message"] = refusal;
      return 0;
    }
    save.kind = FileSave::Kind::kStream;
    save.ids.push_back(row->id);
  } else {
    return 0;
  }
  return AwaitDialog(saves, std::move(save), window) ? 1 : 0;
}

void RunFileSave(const FileSave& save, FinderState& state, Saves& saves, HWND owner,
                 IWebView* view) {
  std::unique_ptr<SaveJob> job = JobFor(state, save);
  if (!job) return;
  const bool folder = save.kind == FileSave::Kind::kFolder;
  const std::string chosen =
      AskSavePath(saves, owner, Utf16Of(job->name), DialogTitle(save.kind), folder);
  if (chosen.empty()) return;
  (folder ? job->folder : job->path) = chosen;
  // The page shows the file by the name it was given.
  if (!folder) job->name = chosen.substr(chosen.rfind('/') + 1);
  job->id = saves.nextJob++;
  job->view = ComPtr<IWebView>::Share(view);
  SaveJob& started = *job;
  saves.jobs[job->id] = std::move(job);
  if (started.variantUrl.empty()) return Next(saves, started);
  TellRunning(started);
  ReadVariant(saves, started);
}

int CancelSave(const Json::Value& params, Saves& saves) {
  if (!params.isObject() || !params["job"].isUInt()) return 0;
  SaveJob* job = FindJob(saves, params["job"].asUInt());
  if (!job) return 0;
  EndJob(saves, *job, "cancelled", "");
  return 1;
}

#include "finder/media_saving.h"

#include "app/my_app.h"
#include "bridge/json_text.h"
#include "finder/clocks.h"
#include "finder/result_reporting.h"
#include "finder/saving.h"
#include "finder/text_conversion.h"
#include "finder/url_names.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <set>

namespace {

constexpr size_t kMostFiles = 10'000;
constexpr double kProgressGapMs = 250;
constexpr int kMostNameTries = 1000;

void Tell(const SaveJob& job, const char* state, const std::string& error = std::string()) {
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
  PostRow(WriteJsonText(progress), "saveProgress");
}

// A name for a file in a folder: the address's file name without path characters.
std::string FileNameFor(const std::string& url) {
  std::string name;
  if (!UrlFileNameUtf8(url, name)) name.clear();
  for (char& c : name) c = c == '/' || c == '\\' ? '_' : c;
  return name.empty() || name == "." || name == ".." ? "download" : name;
}

// "name.ext", then "name (2).ext", "name (3).ext", ...
std::string Numbered(const std::string& name, int n) {
  if (n == 1) return name;
  const size_t dot = name.rfind('.');
  const size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, stem) + " (" + std::to_string(n) + ")" + name.substr(stem);
}

// Moves the whole file into the folder under its name, or a numbered one when that is taken:
// a file there is never replaced.
bool PlaceInFolder(const std::string& partial, const std::string& folder, const std::string& name,
                   std::string& placed) {
  for (int n = 1; n <= kMostNameTries; ++n) {
    placed = folder + "/" + Numbered(name, n);
    if (link(partial.c_str(), placed.c_str()) == 0) {
      unlink(partial.c_str());
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

SaveJob* FindJob(uint32_t id) {
  if (!g_pApp) return nullptr;
  auto& jobs = g_pApp->m_localWindow.m_jobs;
  const auto found = jobs.find(id);
  return found == jobs.end() ? nullptr : found->second.get();
}

// A running save's progress, at most once every kProgressGapMs unless told now.
void TellRunning(SaveJob& job, bool now = false) {
  const double clock = SteadyMs();
  if (!now && job.toldAt && clock - job.toldAt < kProgressGapMs) return;
  job.toldAt = clock;
  Tell(job, "running");
}

void EndJob(SaveJob& job, const char* state, const std::string& error) {
  Tell(job, state, error);
  g_pApp->m_localWindow.m_jobs.erase(job.id);
}

void Fail(SaveJob& job, const std::string& error) { EndJob(job, "failed", error); }

bool CloseFile(SaveJob& job) {
  FILE* file = std::exchange(job.file, nullptr);
  return file && std::fflush(file) == 0 && fsync(fileno(file)) == 0 && std::fclose(file) == 0;
}

void Next(SaveJob& job);

// The address in hand ended well: its file goes into place, or the next address follows.
void ItemDone(SaveJob& job) {
  if (!job.folder.empty()) {
    std::string placed;
    if (!CloseFile(job) ||
        !PlaceInFolder(job.partial, job.folder, FileNameFor(job.urls[job.index]), placed)) {
      return Fail(job, std::strerror(errno ? errno : EIO));
    }
    job.partial.clear();
  }
  ++job.index;
  Next(job);
}

bool OpenPartial(SaveJob& job, const std::string& beside) {
  job.partial = PartialPath(beside);
  job.file = std::fopen(job.partial.c_str(), "wbx");
  if (!job.file) job.partial.clear();
  return job.file != nullptr;
}

void Fetch(SaveJob& job) {
  const uint32_t id = job.id;
  FetchHandlers handlers;
  handlers.response = [id](int64_t length) {
    SaveJob* job = FindJob(id);
    if (job && job->urls.size() == 1) job->total = length;
  };
  handlers.data = [id](std::string_view bytes) {
    SaveJob* job = FindJob(id);
    if (!job) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), job->file) != bytes.size()) {
      // The job ends here, with the reason; the fetch's own end then finds no job.
      Fail(*job, std::strerror(errno ? errno : EIO));
      return false;
    }
    // A save's first bytes are told at once: the page sees that it is under way.
    const bool first = job->bytes == 0;
    job->bytes += static_cast<int64_t>(bytes.size());
    TellRunning(*job, first);
    return true;
  };
  handlers.end = [id](const std::string& error) {
    SaveJob* job = FindJob(id);
    if (!job) return;
    if (!error.empty()) return Fail(*job, job->urls[job->index] + ": " + error);
    ItemDone(*job);
  };
  job.fetch = CSessionFetch::Start(g_pApp->m_myWindow.m_webView, job.urls[job.index], job.referer,
                                   handlers);
  if (!job.fetch) Fail(job, "There is no browsing window to fetch with");
}

void Next(SaveJob& job) {
  if (job.index == job.urls.size()) {
    if (!job.folder.empty()) return EndJob(job, "done", "");
    if (!CloseFile(job) || std::rename(job.partial.c_str(), job.path.c_str()) != 0) {
      return Fail(job, std::strerror(errno ? errno : EIO));
    }
    job.partial.clear();
    return EndJob(job, "done", "");
  }
  const bool opens = job.folder.empty()
                         ? job.file || OpenPartial(job, job.path)
                         : OpenPartial(job, job.folder + "/" + FileNameFor(job.urls[job.index]));
  if (!opens) return Fail(job, std::strerror(errno));
  TellRunning(job);
  Fetch(job);
}

// Why a playlist cannot be saved as one file; empty when it can.
std::string RefusalOf(const PlaylistFacts& facts) {
  if (facts.kind == "dash") {
    return "Saving a DASH stream as one file is not supported; Save shown files… saves its files";
  }
  if (!facts.encryption.empty()) {
    return "This stream is encrypted (" + facts.encryption +
           "); saving it as one file is not supported";
  }
  if (facts.kind == "hls-media" && facts.segments.empty()) return "The playlist lists no segments";
  if (facts.kind != "hls-media" && facts.kind != "hls-master") return "This is not an HLS playlist";
  return std::string();
}

// A master playlist's variant is read first: its segments, unless it is encrypted.
void ReadVariant(SaveJob& job) {
  const uint32_t id = job.id;
  FetchText(g_pApp->m_myWindow.m_webView, job.variantUrl, job.referer, kMostPlaylistBytes,
            [id](const std::string& text, const std::string& error) {
              SaveJob* job = FindJob(id);
              if (!job) return;
              if (!error.empty()) return Fail(*job, job->variantUrl + ": " + error);
              const PlaylistFacts facts = ReadPlaylist(text, job->variantUrl);
              const std::string refusal = facts.kind == "hls-master"
                                              ? "The variant is a master playlist"
                                              : RefusalOf(facts);
              if (!refusal.empty()) return Fail(*job, refusal);
              job->urls = facts.segments;
              Next(*job);
            });
}

bool ReadIds(const Json::Value& value, std::vector<uint32_t>& ids) {
  if (!value.isArray() || value.empty() || value.size() > kMostFiles) return false;
  for (const Json::Value& id : value) {
    if (!id.isUInt()) return false;
    ids.push_back(id.asUInt());
  }
  return true;
}

// The playlist a savePlaylist names, and why it cannot be saved (empty when it can).
const RequestRecord* PlaylistRow(const Json::Value& params, FinderState& state, size_t& variant,
                                 std::string& refusal) {
  const RequestRecord* row =
      params["id"].isUInt() ? FindRecord(state, params["id"].asUInt()) : nullptr;
  if (!row || !row->playlist) return nullptr;
  variant = params["variant"].isUInt() ? params["variant"].asUInt() : 0;
  refusal = RefusalOf(*row->playlist);
  if (refusal.empty() && row->playlist->kind == "hls-master" &&
      (variant >= row->playlist->variants.size() || row->playlist->variants[variant].url.empty())) {
    refusal = "The master playlist has no such variant";
  }
  return row;
}

// The job a waiting save makes, with its addresses; the dialog names where it goes.
std::unique_ptr<SaveJob> JobFor(FinderState& state, const PendingSave& save) {
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
  if (save.format == "files") {
    job->name = std::to_string(job->urls.size()) + (job->urls.size() == 1 ? " file" : " files");
  } else if (save.format == "playlist") {
    const RequestRecord* row = FindRecord(state, save.ids.front());
    const PlaylistFacts& facts = *row->playlist;
    // A master playlist's variant, and a live playlist (whose first segments may be gone
    // by now), are read when the save starts.
    if (facts.kind == "hls-master") job->variantUrl = facts.variants[save.variant].url;
    if (facts.live) job->variantUrl = row->url;
    job->urls = job->variantUrl.empty() ? facts.segments : std::vector<std::string>();
    std::string stem = job->name.substr(0, job->name.rfind('.'));
    if (stem.empty()) stem = "stream";
    if (facts.kind == "hls-master" && !facts.variants[save.variant].resolution.empty()) {
      stem += " " + facts.variants[save.variant].resolution;
    }
    job->name = stem + (facts.fragmentedMp4 ? ".mp4" : ".ts");
  }
  return job;
}

}  // namespace

bool IsMediaSave(const PendingSave& save) {
  return save.format == "file" || save.format == "files" || save.format == "playlist";
}

int RequestMediaSave(const std::u16string& method, const Json::Value& params, FinderState& state,
                     HWND window, Json::Value& answer) {
  if (!params.isObject() || state.m_save || state.m_saveDialogShown) return 0;
  PendingSave save;
  if (method == u"saveFile" && params["id"].isUInt() && FindRecord(state, params["id"].asUInt())) {
    save.format = "file";
    save.ids.push_back(params["id"].asUInt());
  } else if (method == u"saveShown" && ReadIds(params["ids"], save.ids)) {
    save.format = "files";
  } else if (method == u"savePlaylist") {
    std::string refusal;
    const RequestRecord* row = PlaylistRow(params, state, save.variant, refusal);
    if (!row) return 0;
    if (!refusal.empty()) {
      answer["message"] = refusal;
      return 0;
    }
    save.format = "playlist";
    save.ids.push_back(row->id);
  } else {
    return 0;
  }
  if (!PostMessageW(window, WM_TIMER, kSaveTimer, 0)) return 0;
  state.m_save = std::move(save);
  return 1;
}

void RunMediaSave(FinderState& state, const PendingSave& save, HWND owner) {
  std::unique_ptr<SaveJob> job = JobFor(state, save);
  if (!job) return;
  const bool folder = save.format == "files";
  const char16_t* title = folder                      ? u"Save the shown files into a folder"
                          : save.format == "playlist" ? u"Save the stream as one file"
                                                      : u"Save the file";
  const std::string chosen = AskSavePath(state, owner, Utf16Of(job->name), title, folder);
  if (chosen.empty()) return;
  (folder ? job->folder : job->path) = chosen;
  // The page shows the file by the name it was given.
  if (!folder) job->name = chosen.substr(chosen.rfind('/') + 1);
  job->id = state.m_nextJob++;
  SaveJob& started = *job;
  state.m_jobs[job->id] = std::move(job);
  if (started.variantUrl.empty()) return Next(started);
  TellRunning(started);
  ReadVariant(started);
}

int CancelSave(const Json::Value& params, FinderState& state) {
  if (!params.isObject() || !params["job"].isUInt()) return 0;
  const auto found = state.m_jobs.find(params["job"].asUInt());
  if (found == state.m_jobs.end()) return 0;
  EndJob(*found->second, "cancelled", "");
  return 1;
}

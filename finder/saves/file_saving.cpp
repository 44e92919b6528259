#include "finder/saves/file_saving.h"

#include "finder/records/data_url.h"
#include "finder/result_reporting.h"
#include "finder/saves/fetch_context.h"
#include "finder/saves/job_runner.h"
#include "finder/saves/stream_items.h"
#include "finder/saves/stream_mux.h"
#include "finder/text/file_names.h"
#include "finder/text/text_conversion.h"
#include "finder/text/web_address.h"

#include <algorithm>
#include <set>

namespace {

constexpr size_t kMostFiles = 10'000;

// Why the row's file cannot be saved exactly; empty when it can.
std::string RowRefusal(const RequestRecord& row) {
  if (row.url.rfind("blob:", 0) == 0) {
    return "A blob: address exists only inside its page; it cannot be fetched to be saved";
  }
  std::string mimeType;
  std::string bytes;
  if (row.url.rfind("data:", 0) == 0) {
    return DecodeDataUrl(row.url, mimeType, bytes) ? "" : "The data: address cannot be read";
  }
  if (!IsHttpAddress(row.url)) return "Only web (http, https) and data: addresses can be saved";
  if (row.method != "GET") {
    return "The page's request was a " + row.method +
           "; fetching it again would send a GET and save another answer";
  }
  return std::string();
}

// The item that saves the row's file: its bytes for a data: address, else its request.
SaveItem RowItem(const FinderState& state, const RequestRecord& row) {
  SaveItem item;
  std::string mimeType = row.mimeType;
  item.refusal = RowRefusal(row);
  if (item.refusal.empty() && row.url.rfind("data:", 0) == 0) {
    item.fromData = DecodeDataUrl(row.url, mimeType, item.bytes);
  } else if (item.refusal.empty()) {
    item.request = RowFetch(state, row);
  }
  item.name =
      SaveFileName(row.url, HeaderValue(row.responseHeaders, "Content-Disposition"), mimeType);
  return item;
}

// The playlist a savePlaylist names, and why it cannot be saved (empty when it can).
const RequestRecord* PlaylistRow(const Json::Value& params, FinderState& state, size_t& variant,
                                 std::string& refusal) {
  const RequestRecord* row =
      params["id"].isUInt() ? FindRecord(state, params["id"].asUInt()) : nullptr;
  if (!row || !row->playlist) return nullptr;
  variant = params["variant"].isUInt() ? params["variant"].asUInt() : BestVariant(*row->playlist);
  refusal = StreamRefusal(*row->playlist, row->url);
  const PlaylistKind kind = row->playlist->kind;
  if (refusal.empty() && (kind == PlaylistKind::kHlsMaster || kind == PlaylistKind::kDash) &&
      (variant >= row->playlist->variants.size() ||
       (kind == PlaylistKind::kHlsMaster && row->playlist->variants[variant].url.empty()))) {
    refusal = kind == PlaylistKind::kDash ? "The manifest has no such representation"
                                          : "The master playlist has no such variant";
  }
  return row;
}

// The tracks of a master playlist's variant: its own playlist, and the playlist of its
// sound when that is a rendition of its own. The codecs named, in `codecs`.
void ReadsVariant(SaveJob& job, const FinderState& state, const RequestRecord& row, size_t variant,
                  std::vector<std::string>& codecs) {
  const PlaylistFacts& facts = *row.playlist;
  job.playlists.push_back(LedFetch(state, row, facts.variants[variant].url));
  codecs.push_back(facts.variants[variant].codecs);
  if (const PlaylistRendition* sound = AudioRendition(facts, variant)) {
    job.playlists.push_back(LedFetch(state, row, sound->url));
  }
}

// The representations a DASH save takes: the chosen one, and the best sound beside a
// picture.
void ReadsManifest(SaveJob& job, const FinderState& state, const RequestRecord& row, size_t variant,
                   std::vector<std::string>& codecs) {
  const PlaylistFacts& facts = *row.playlist;
  job.dash = true;
  job.playlists.push_back(RowFetch(state, row));
  job.picture = variant;
  codecs.push_back(facts.variants[variant].codecs);
  const size_t sound = BestAudio(facts);
  if (facts.variants[variant].contentType == "audio" || sound >= facts.variants.size()) return;
  job.sound = sound;
  codecs.push_back(facts.variants[sound].codecs);
}

// A stream's job: its segments, or the playlists to read them from when it starts, and the
// container its tracks go into.
std::unique_ptr<SaveJob> StreamJob(const FinderState& state, const RequestRecord& row,
                                   size_t variant) {
  auto job = std::make_unique<SaveJob>();
  const PlaylistFacts& facts = *row.playlist;
  job->owner = row.url;
  const bool master = facts.kind == PlaylistKind::kHlsMaster;
  std::vector<std::string> codecs;
  // The segments' requests are those the page that asked for the playlist makes; a master
  // playlist's variant, a manifest and a live playlist are read when the save starts.
  if (master) {
    ReadsVariant(*job, state, row, variant, codecs);
  } else if (facts.kind == PlaylistKind::kDash) {
    ReadsManifest(*job, state, row, variant, codecs);
  } else if (facts.live || facts.segmentsDropped) {
    job->playlists.push_back(RowFetch(state, row));
  } else {
    AddTrack(*job, 0, facts.segments, facts.keys, LedFetch(state, row, row.url));
  }
  if (facts.live) {
    job->note = "a live stream: saved as far as its playlist listed when the save started";
  }
  job->trackCount =
      job->dash ? 1 + (job->sound != SIZE_MAX) : std::max<size_t>(1, job->playlists.size());
  // One track is joined as its segments make it; several are muxed into what their
  // codecs go in.
  const std::string extension =
      job->dash || job->trackCount > 1 ? MuxedExtension(codecs) : StreamExtension(facts);
  job->joinedContainer = job->trackCount > 1 ? "" : ContainerOfName(extension);
  if (job->trackCount > 1) job->container = ContainerOfName(extension);
  std::string stem = SaveFileName(row.url, "", "");
  stem = stem.substr(0, stem.rfind('.'));
  if (stem.empty() || stem == "download") stem = "stream";
  if ((master || job->dash) && !facts.variants[variant].resolution.empty()) {
    stem += " " + facts.variants[variant].resolution;
  }
  job->name = SafeFileName(stem + extension);
  return job;
}

// The container of the name the user chose: the tracks are muxed into it, and one track
// joined as it comes is remuxed when the name asks for another container than its own.
void ChooseContainer(SaveJob& job, const std::string& chosen) {
  const std::string picked = ContainerOfName(chosen.substr(chosen.rfind('/') + 1));
  if (job.trackCount > 1) {
    if (!picked.empty()) job.container = picked;
  } else if (!job.joinedContainer.empty()) {
    job.container = picked.empty() || picked == job.joinedContainer ? "" : picked;
  }
}

// The job a waiting save makes; the dialog names where it goes.
std::unique_ptr<SaveJob> JobFor(FinderState& state, const FileSave& save) {
  if (save.kind == FileSave::Kind::kStream) {
    const RequestRecord* row = FindRecord(state, save.ids.front());
    return row && row->playlist ? StreamJob(state, *row, save.variant) : nullptr;
  }
  auto job = std::make_unique<SaveJob>();
  std::set<std::string> seen;
  for (uint32_t id : save.ids) {
    const RequestRecord* row = FindRecord(state, id);
    if (row && seen.insert(row->url).second) job->items.push_back(RowItem(state, *row));
  }
  if (job->items.empty()) return nullptr;
  const size_t count = job->items.size();
  job->name = save.kind == FileSave::Kind::kFolder
                  ? std::to_string(count) + (count == 1 ? " file" : " files")
                  : job->items.front().name;
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

// Starts the job with its file (or folder) chosen.
void StartAt(std::unique_ptr<SaveJob> job, const FileSave& save, Saves& saves, IWebView* view,
             const std::string& chosen) {
  const bool folder = save.kind == FileSave::Kind::kFolder;
  (folder ? job->folder : job->path) = chosen;
  if (save.kind == FileSave::Kind::kStream) ChooseContainer(*job, chosen);
  // The page shows the file by the name it was given.
  if (!folder) job->name = chosen.substr(chosen.rfind('/') + 1);
  job->view = ComPtr<IWebView>::Share(view);
  StartJob(saves, std::move(job));
}

}  // namespace

int RequestFileSave(const std::u16string& method, const Json::Value& params, FinderState& state,
                    Saves& saves, HWND window, Json::Value& answer) {
  if (!params.isObject() || saves.pending || saves.dialogShown) return 0;
  FileSave save;
  std::string refusal;
  if (method == u"saveFile" && params["id"].isUInt()) {
    const RequestRecord* row = FindRecord(state, params["id"].asUInt());
    if (!row) return 0;
    refusal = RowRefusal(*row);
    save.kind = FileSave::Kind::kFile;
    save.ids.push_back(row->id);
  } else if (method == u"saveShown" && ReadIds(params["ids"], kMostFiles, save.ids)) {
    save.kind = FileSave::Kind::kFolder;
  } else if (method == u"savePlaylist") {
    const RequestRecord* row = PlaylistRow(params, state, save.variant, refusal);
    if (!row) return 0;
    save.kind = FileSave::Kind::kStream;
    save.ids.push_back(row->id);
  } else {
    return 0;
  }
  if (!refusal.empty()) {
    answer["message"] = refusal;
    return 0;
  }
  return AwaitDialog(saves, std::move(save), window) ? 1 : 0;
}

void RunFileSave(const FileSave& save, FinderState& state, Saves& saves, HWND owner,
                 IWebView* view) {
  std::unique_ptr<SaveJob> job = JobFor(state, save);
  if (!job) return;
  const std::string chosen = AskSavePath(saves, owner, Utf16Of(job->name), DialogTitle(save.kind),
                                         save.kind == FileSave::Kind::kFolder);
  if (chosen.empty()) return;
  StartAt(std::move(job), save, saves, view, chosen);
  if (save.kind != FileSave::Kind::kFolder) return;
  // The shown playlists go into the folder as their streams too, each as one file; those
  // that cannot be joined are there as their own files.
  std::vector<std::string> refusals;
  for (const FileSave& stream : StreamSavesOf(state, save.ids, refusals)) {
    StartFileSaveIn(stream, state, saves, view, chosen);
  }
}

std::vector<FileSave> StreamSavesOf(const FinderState& state, const std::vector<uint32_t>& ids,
                                    std::vector<std::string>& refusals) {
  std::set<std::string> variants;
  for (uint32_t id : ids) {
    const RequestRecord* row = FindRecord(state, id);
    if (!row || !row->playlist) continue;
    for (const PlaylistVariant& variant : row->playlist->variants) variants.insert(variant.url);
    for (const PlaylistRendition& rendition : row->playlist->renditions) {
      variants.insert(rendition.url);
    }
  }
  std::vector<FileSave> streams;
  for (uint32_t id : ids) {
    const RequestRecord* row = FindRecord(state, id);
    if (!row || !row->playlist || row->playlist->kind == PlaylistKind::kUnknown ||
        variants.count(row->url)) {
      continue;
    }
    const std::string refusal = StreamRefusal(*row->playlist, row->url);
    if (refusal.empty()) {
      streams.push_back({FileSave::Kind::kStream, {id}, BestVariant(*row->playlist)});
    } else {
      refusals.push_back(SaveFileName(row->url, "", "") + " as one file: " + refusal);
    }
  }
  return streams;
}

uint32_t StartFileSaveIn(const FileSave& save, FinderState& state, Saves& saves, IWebView* view,
                         const std::string& folder) {
  std::unique_ptr<SaveJob> job = JobFor(state, save);
  if (!job) return 0;
  const bool inFolder = save.kind == FileSave::Kind::kFolder;
  const std::string chosen = inFolder ? folder : folder + "/" + job->name;
  // No file there is replaced: the dialog did not ask.
  job->replaces = false;
  const uint32_t id = saves.nextJob;
  StartAt(std::move(job), save, saves, view, chosen);
  return id;
}

int CancelSave(const Json::Value& params, Saves& saves) {
  if (!params.isObject() || !params["job"].isUInt()) return 0;
  return CancelJob(saves, params["job"].asUInt()) ? 1 : 0;
}

#include "finder/saves/job_runner.h"

#include "finder/records/clocks.h"
#include "finder/result_reporting.h"
#include "finder/saves/stream_items.h"
#include "finder/saves/stream_mux.h"

#include <cerrno>

namespace {

constexpr double kProgressGapMs = 250;
constexpr size_t kKeyBytes = 16;
// How many ended saves' last progress is kept to tell a page that loads again.
constexpr size_t kMostEndedTold = 32;
// A joined stream's segments fetched at once, and the bytes held of those after the one
// being written before no more are started.
constexpr size_t kMostInFlight = 4;
constexpr size_t kMostHeldBytes = 64 * 1024 * 1024;
// A failed fetch is made again this many times, after waits of 0.5 s, 1 s and 2 s; the
// saves' clock looks at the waits and the muxes this often.
constexpr int kMostRetries = 3;
constexpr double kFirstRetryMs = 500;
constexpr UINT kClockTickMs = 100;

// How long the save should still take, by its bytes when its length is known, else by its
// items; -1 when it cannot be told yet.
Json::Int64 SecondsLeft(const SaveJob& job, double elapsed, double speed) {
  if (job.total > 0 && speed > 0) {
    return static_cast<Json::Int64>(static_cast<double>(job.total - job.bytes) / speed);
  }
  if (job.items.size() > 1 && job.index > 0) {
    const double items = static_cast<double>(job.items.size() - job.index);
    return static_cast<Json::Int64>(elapsed / 1000 * items / static_cast<double>(job.index));
  }
  return -1;
}

Json::Value ProgressOf(const SaveJob& job, const char* state, const std::string& error) {
  Json::Value progress(Json::objectValue);
  progress["job"] = job.id;
  progress["name"] = job.name;
  progress["state"] = state;
  progress["bytes"] = static_cast<Json::Int64>(job.bytes);
  progress["total"] = static_cast<Json::Int64>(job.total);
  progress["item"] = static_cast<Json::UInt64>(job.index);
  progress["items"] = static_cast<Json::UInt64>(job.items.size());
  progress["path"] = job.folder.empty() ? job.path : job.folder;
  progress["joined"] = job.folder.empty();
  progress["saved"] = static_cast<Json::UInt64>(job.saved);
  Json::Value failures(Json::arrayValue);
  for (const SaveFailure& failure : job.failures) {
    Json::Value item(Json::objectValue);
    item["name"] = failure.name;
    item["error"] = failure.error;
    failures.append(item);
  }
  progress["failures"] = failures;
  progress["error"] = error;
  const double elapsed = SteadyMs() - job.startedAt;
  const double speed = elapsed > 0 ? static_cast<double>(job.bytes) * 1000 / elapsed : 0;
  progress["speed"] = static_cast<Json::Int64>(speed);
  progress["left"] = SecondsLeft(job, elapsed, speed);
  progress["muxing"] = job.mux.Running();
  progress["note"] = job.note;
  return progress;
}

void Tell(Saves& saves, const SaveJob& job, const char* state, const std::string& error = "") {
  Json::Value progress = ProgressOf(job, state, error);
  saves.told[job.id] = progress;
  // The oldest ended saves are forgotten first; running ones are kept.
  for (auto it = saves.told.begin();
       saves.told.size() > saves.jobs.size() + kMostEndedTold && it != saves.told.end();) {
    it = saves.jobs.count(it->first) ? std::next(it) : saves.told.erase(it);
  }
  TellPage("saveProgress", progress);
}

// Fetches end later than the call that started them, and their job may have ended (been
// cancelled) by then: they find it again by its number.
SaveJob* FindJob(Saves& saves, uint32_t id) {
  const auto found = saves.jobs.find(id);
  return found == saves.jobs.end() ? nullptr : found->second.get();
}

// A running save's progress, at most once every kProgressGapMs unless told now.
void TellRunning(Saves& saves, SaveJob& job, bool now = false) {
  const double clock = SteadyMs();
  if (!now && job.toldAt && clock - job.toldAt < kProgressGapMs) return;
  job.toldAt = clock;
  Tell(saves, job, "running");
}

void EndJob(Saves& saves, SaveJob& job, const char* state, const std::string& error) {
  // A mux writes the file until it has stopped.
  job.mux.Stop();
  job.file.Discard();
  Tell(saves, job, state, error);
  saves.jobs.erase(job.id);
}

void Pump(Saves& saves, SaveJob& job);

// The file the item in hand is written to: its track's when the tracks are muxed, else the
// job's own (its one file, or the item's file in the folder).
PartialFile& FileFor(SaveJob& job) {
  const size_t track = job.items[job.index].track;
  return job.container.empty() || track >= job.tracks.size() ? job.file : *job.tracks[track];
}

// Opens the file the item in hand is written to.
bool OpenFor(SaveJob& job, const SaveItem& item) {
  if (!job.folder.empty()) return job.file.Open(job.folder + "/" + item.name);
  if (job.container.empty()) return job.file.IsOpen() || job.file.Open(job.path);
  while (job.tracks.size() < job.trackCount) job.tracks.push_back(std::make_unique<PartialFile>());
  PartialFile& track = FileFor(job);
  return track.IsOpen() || track.Open(job.path + ".track" + std::to_string(item.track + 1));
}

// The item in hand could not be saved: a joined file fails with it, a folder save goes on.
// False when the job ended.
bool ItemFailed(Saves& saves, SaveJob& job, const std::string& error) {
  if (job.folder.empty()) {
    EndJob(saves, job, "failed", error);
    return false;
  }
  job.file.Discard();
  job.failures.push_back({job.items[job.index].name, error});
  ++job.index;
  return true;
}

// The item in hand is whole: its file goes into the folder, or the next part follows.
bool ItemSaved(Saves& saves, SaveJob& job) {
  if (!job.folder.empty()) {
    std::string placed;
    if (!job.file.PlaceInFolder(job.folder, job.items[job.index].name, placed)) {
      return ItemFailed(saves, job, LastFileError());
    }
    ++job.saved;
  }
  ++job.index;
  return true;
}

bool Written(Saves& saves, SaveJob& job, std::string_view bytes) {
  if (!FileFor(job).Write(bytes)) return false;
  // A save's first bytes are told at once: the page sees that it is under way.
  const bool first = job.bytes == 0;
  job.bytes += static_cast<int64_t>(bytes.size());
  TellRunning(saves, job, first);
  return true;
}

// Bytes of the item in hand: written, decrypted first when it is encrypted.
bool Taken(Saves& saves, SaveJob& job, std::string_view bytes) {
  if (!job.cipher.Running()) return Written(saves, job, bytes);
  std::string plain;
  if (!job.cipher.Update(bytes, plain)) {
    errno = EIO;
    return false;
  }
  return Written(saves, job, plain);
}

// The end of an encrypted item: its last plain bytes written. Why it failed, or empty.
std::string Decrypted(Saves& saves, SaveJob& job) {
  if (!job.cipher.Running()) return std::string();
  std::string plain;
  if (!job.cipher.Finish(plain)) {
    return "the segment could not be decrypted (a wrong key, or a damaged segment)";
  }
  return Written(saves, job, plain) ? std::string() : LastFileError();
}

// The item in hand starts going to its file: what came of it so far first. Why it cannot,
// or empty.
std::string StartWriting(Saves& saves, SaveJob& job, ItemFetch& fetch) {
  const SaveItem& item = job.items[job.index];
  if (!OpenFor(job, item)) return LastFileError();
  job.cipher.Stop();
  if (item.key >= 0 && !job.cipher.Start(job.keys[static_cast<size_t>(item.key)], item.iv)) {
    return item.request.url + ": its key or IV is not 16 bytes";
  }
  fetch.writing = true;
  fetch.startedAt = FileFor(job).Position();
  const std::string held = std::move(fetch.held);
  fetch.held.clear();
  return Taken(saves, job, held) ? std::string() : LastFileError();
}

void StartFetch(Saves& saves, SaveJob& job, size_t index);

// Starts the saves' clock unless it runs; false when there is no clock to run.
bool KeepClock(Saves& saves) {
  if (!saves.clockRuns && saves.clock) {
    saves.clockRuns = SetTimer(saves.clock, kSavesTimer, kClockTickMs, nullptr) != 0;
  }
  return saves.clockRuns;
}

// A fetch that failed is made again from the start of its item, after a wait that doubles
// each time (at once without a clock): what it wrote is cut off.
void Retry(Saves& saves, SaveJob& job, size_t index, ItemFetch& fetch) {
  if (fetch.writing) {
    PartialFile& file = FileFor(job);
    job.bytes -= file.Position() - fetch.startedAt;
    if (!file.Truncate(fetch.startedAt)) {
      fetch.failed = LastFileError();
      return;
    }
    job.cipher.Stop();
  }
  fetch.writing = false;
  fetch.held.clear();
  fetch.retryAt = SteadyMs() + kFirstRetryMs * static_cast<double>(1 << fetch.tries);
  ++fetch.tries;
  if (!KeepClock(saves)) StartFetch(saves, job, index);
}

FetchHandlers HandlersOf(Saves& saves, uint32_t id, size_t index) {
  Saves* table = &saves;
  const auto found = [table, id, index]() -> std::pair<SaveJob*, ItemFetch*> {
    SaveJob* job = FindJob(*table, id);
    if (!job) return {nullptr, nullptr};
    const auto fetch = job->fetches.find(index);
    return {job, fetch == job->fetches.end() ? nullptr : &fetch->second};
  };
  FetchHandlers handlers;
  handlers.response = [found](int64_t length) {
    const auto [job, fetch] = found();
    if (job && fetch && job->items.size() == 1) job->total = length;
  };
  handlers.data = [table, found](std::string_view bytes) {
    const auto [job, fetch] = found();
    if (!job || !fetch) return false;
    if (!fetch->writing) {
      fetch->held.append(bytes);
      return true;
    }
    if (Taken(*table, *job, bytes)) return true;
    // It fails with the reason; its fetch's end (Stopped) then moves the job on.
    fetch->failed = LastFileError();
    return false;
  };
  handlers.end = [table, found, index](const std::string& error) {
    const auto [job, fetch] = found();
    if (!job || !fetch) return;
    if (!error.empty() && fetch->failed.empty()) {
      const bool lasting = fetch->fetch && fetch->fetch->Lasting();
      if (!lasting && fetch->tries < kMostRetries) {
        Retry(*table, *job, index, *fetch);
      } else {
        fetch->failed = job->items[index].request.url + ": " + error;
      }
    }
    fetch->whole = error.empty();
    Pump(*table, *job);
  };
  return handlers;
}

void StartFetch(Saves& saves, SaveJob& job, size_t index) {
  ItemFetch& fetch = job.fetches[index];
  fetch.retryAt = 0;
  fetch.whole = false;
  fetch.fetch = CSessionFetch::Start(job.view.Get(), job.items[index].request,
                                     HandlersOf(saves, job.id, index));
  if (!fetch.fetch)
    fetch.failed = "There is no browsing window to fetch " + job.items[index].request.url;
}

// Whether the item is fetched (not a data: address, nor refused).
bool Fetched(const SaveItem& item) { return item.refusal.empty() && !item.fromData; }

// Starts the fetches of the items after the one in hand, up to the job's number at once:
// a joined stream's several, while the bytes held of them stay few; others' one.
void StartFetches(Saves& saves, SaveJob& job) {
  const size_t most = job.folder.empty() && job.items.size() > 1 ? kMostInFlight : 1;
  size_t held = 0;
  for (const auto& [index, fetch] : job.fetches) held += fetch.held.size();
  for (size_t index = job.index;
       index < job.items.size() && job.fetches.size() < most && held < kMostHeldBytes; ++index) {
    if (Fetched(job.items[index]) && !job.fetches.count(index)) StartFetch(saves, job, index);
  }
}

// The joined file goes to its path, or beside what is there already.
bool PlaceJoined(SaveJob& job) {
  if (job.replaces) return job.file.MoveTo(job.path);
  const size_t slash = job.path.rfind('/');
  std::string placed;
  if (slash == std::string::npos ||
      !job.file.PlaceInFolder(job.path.substr(0, slash), job.path.substr(slash + 1), placed)) {
    return false;
  }
  job.path = placed;
  return true;
}

// The joined file is whole, or why not: it goes into its place.
void EndJoined(Saves& saves, SaveJob& job, const std::string& error) {
  if (!error.empty()) return EndJob(saves, job, "failed", error);
  job.tracks.clear();
  if (!PlaceJoined(job)) return EndJob(saves, job, "failed", LastFileError());
  EndJob(saves, job, "done", "");
}

// The tracks muxed into the joined file, on the mux's thread while the saves' clock looks
// in on it (or waited for, without a clock).
void StartMux(Saves& saves, SaveJob& job) {
  std::vector<std::string> paths;
  for (const auto& track : job.tracks) {
    if (!track->Flush()) return EndJob(saves, job, "failed", LastFileError());
    paths.push_back(track->Path());
  }
  if (paths.empty()) return EndJob(saves, job, "failed", "The stream has no tracks");
  if (!job.file.Open(job.path)) return EndJob(saves, job, "failed", LastFileError());
  job.mux.Start(std::move(paths), job.file, job.container);
  TellRunning(saves, job, true);
  if (!KeepClock(saves)) EndJoined(saves, job, job.mux.Result());
}

void Finish(Saves& saves, SaveJob& job) {
  if (job.folder.empty() && !job.container.empty()) return StartMux(saves, job);
  if (job.folder.empty()) {
    // The joined file holds its segments' bytes, all of them.
    const bool opened = job.file.IsOpen() || job.file.Open(job.path);
    if (!opened) return EndJob(saves, job, "failed", LastFileError());
    return EndJoined(saves, job,
                     job.file.Position() == job.bytes
                         ? std::string()
                         : "The joined file does not hold its segments' bytes");
  }
  if (job.saved || job.items.empty()) return EndJob(saves, job, "done", "");
  EndJob(saves, job, "failed", "No file could be saved");
}

// The item in hand when it needs no fetch: saved from its bytes, or failed with its
// refusal. False when the job ended.
bool SaveUnfetched(Saves& saves, SaveJob& job) {
  const SaveItem& item = job.items[job.index];
  std::string failure = item.refusal;
  if (failure.empty() && !OpenFor(job, item)) failure = LastFileError();
  if (failure.empty() && !Written(saves, job, item.bytes)) failure = LastFileError();
  return failure.empty() ? ItemSaved(saves, job) : ItemFailed(saves, job, failure);
}

// Writes what has come of the items in order, from the one in hand; false when the job
// ended.
bool WriteReady(Saves& saves, SaveJob& job) {
  while (job.index < job.items.size()) {
    if (!Fetched(job.items[job.index])) {
      if (!SaveUnfetched(saves, job)) return false;
      continue;
    }
    const auto found = job.fetches.find(job.index);
    if (found == job.fetches.end() || found->second.retryAt) return true;
    ItemFetch& fetch = found->second;
    std::string failure = fetch.failed;
    if (failure.empty() && !fetch.writing) failure = StartWriting(saves, job, fetch);
    if (failure.empty() && !fetch.whole) return true;
    if (failure.empty()) failure = Decrypted(saves, job);
    job.fetches.erase(found);
    job.cipher.Stop();
    const bool going = failure.empty() ? ItemSaved(saves, job) : ItemFailed(saves, job, failure);
    if (!going) return false;
  }
  return true;
}

// Moves the job on: what came is written in order, the next fetches start, and a job with
// every item written is finished.
void Pump(Saves& saves, SaveJob& job) {
  const uint32_t id = job.id;
  for (;;) {
    SaveJob* running = FindJob(saves, id);
    if (!running || !WriteReady(saves, *running)) return;
    const size_t before = running->fetches.size();
    StartFetches(saves, *running);
    if (running->index >= running->items.size()) return Finish(saves, *running);
    // A fetch that could not start fails its item in its turn.
    if (running->fetches.size() == before) break;
    TellRunning(saves, *running);
  }
}

// Fetches the stream's keys that are not fetched yet, one after another, then the items.
void FetchKeys(Saves& saves, SaveJob& job) {
  if (job.keys.size() >= job.keyRequests.size()) return Pump(saves, job);
  Saves* table = &saves;
  const uint32_t id = job.id;
  const FetchRequest& request = job.keyRequests[job.keys.size()];
  FetchText(job.view.Get(), request, kKeyBytes * 4,
            [table, id, url = request.url](const std::string& key, const std::string& error) {
              SaveJob* job = FindJob(*table, id);
              if (!job) return;
              if (!error.empty())
                return EndJob(*table, *job, "failed", "The key " + url + ": " + error);
              if (key.size() != kKeyBytes) {
                return EndJob(
                    *table, *job, "failed",
                    "The key " + url + " holds " + std::to_string(key.size()) + " bytes, not 16");
              }
              job->keys.push_back(key);
              FetchKeys(*table, *job);
            });
}

// Reads the stream's playlists one after another, each giving its tracks, then the keys.
void ReadStreamPlaylists(Saves& saves, SaveJob& job) {
  if (job.playlistsRead >= job.playlists.size()) return FetchKeys(saves, job);
  Saves* table = &saves;
  const uint32_t id = job.id;
  FetchText(job.view.Get(), job.playlists[job.playlistsRead], kMostPlaylistBytes,
            [table, id](const std::string& text, const std::string& error) {
              SaveJob* job = FindJob(*table, id);
              if (!job) return;
              const FetchRequest led = job->playlists[job->playlistsRead];
              if (!error.empty()) return EndJob(*table, *job, "failed", led.url + ": " + error);
              const std::string refusal =
                  job->dash ? AddDashTracks(*job, text, led) : AddHlsTrack(*job, text, led);
              if (!refusal.empty()) return EndJob(*table, *job, "failed", refusal);
              ++job->playlistsRead;
              ReadStreamPlaylists(*table, *job);
            });
}

}  // namespace

void StartJob(Saves& saves, std::unique_ptr<SaveJob> job) {
  job->id = saves.nextJob++;
  job->startedAt = SteadyMs();
  SaveJob& started = *job;
  saves.jobs[job->id] = std::move(job);
  if (started.playlists.empty()) return FetchKeys(saves, started);
  TellRunning(saves, started);
  ReadStreamPlaylists(saves, started);
}

bool CancelJob(Saves& saves, uint32_t id) {
  SaveJob* job = FindJob(saves, id);
  if (!job) return false;
  EndJob(saves, *job, "cancelled", "");
  return true;
}

void CancelAllJobs(Saves& saves) {
  while (!saves.jobs.empty()) CancelJob(saves, saves.jobs.begin()->first);
}

void TickSaves(Saves& saves) {
  const double now = SteadyMs();
  bool waiting = false;
  std::vector<uint32_t> ids;
  for (const auto& [id, job] : saves.jobs) ids.push_back(id);
  for (const uint32_t id : ids) {
    SaveJob* job = FindJob(saves, id);
    if (!job) continue;
    if (job->mux.Running()) {
      if (job->mux.Done()) {
        EndJoined(saves, *job, job->mux.Result());
      } else {
        waiting = true;
      }
      continue;
    }
    bool due = false;
    for (auto& [index, fetch] : job->fetches) {
      if (fetch.retryAt && fetch.retryAt <= now) {
        StartFetch(saves, *job, index);
        due = true;
      } else {
        waiting = waiting || fetch.retryAt;
      }
    }
    if (due) Pump(saves, *job);
  }
  // A fetch made again may wait again, and start the clock anew.
  if (!waiting && saves.clockRuns && saves.clock) KillTimer(saves.clock, kSavesTimer);
  saves.clockRuns = saves.clockRuns && waiting;
}

void RetellSaves(const Saves& saves) {
  for (const auto& [id, progress] : saves.told) TellPage("saveProgress", progress);
}

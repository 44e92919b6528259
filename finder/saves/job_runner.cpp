#include "finder/saves/job_runner.h"

#include "finder/records/clocks.h"
#include "finder/result_reporting.h"
#include "finder/saves/stream_items.h"

#include <cerrno>

namespace {

constexpr double kProgressGapMs = 250;
constexpr size_t kKeyBytes = 16;
// How many ended saves' last progress is kept to tell a page that loads again.
constexpr size_t kMostEndedTold = 32;

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
  job.file.Discard();
  Tell(saves, job, state, error);
  saves.jobs.erase(job.id);
}

void Next(Saves& saves, SaveJob& job);

// The item in hand could not be saved: a joined file fails with it, a folder save goes on.
void ItemFailed(Saves& saves, SaveJob& job, const std::string& error) {
  if (job.folder.empty()) return EndJob(saves, job, "failed", error);
  job.file.Discard();
  job.failures.push_back({job.items[job.index].name, error});
  ++job.index;
}

// The item in hand is whole: its file goes into the folder, or the next part follows.
void ItemSaved(Saves& saves, SaveJob& job) {
  if (!job.folder.empty()) {
    std::string placed;
    if (!job.file.PlaceInFolder(job.folder, job.items[job.index].name, placed)) {
      return ItemFailed(saves, job, LastFileError());
    }
    ++job.saved;
  }
  ++job.index;
}

bool Written(Saves& saves, SaveJob& job, std::string_view bytes) {
  if (!job.file.Write(bytes)) return false;
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

void Fetch(Saves& saves, SaveJob& job) {
  Saves* table = &saves;
  const uint32_t id = job.id;
  FetchHandlers handlers;
  handlers.response = [table, id](int64_t length) {
    SaveJob* job = FindJob(*table, id);
    if (job && job->items.size() == 1) job->total = length;
  };
  handlers.data = [table, id](std::string_view bytes) {
    SaveJob* job = FindJob(*table, id);
    if (!job) return false;
    if (Taken(*table, *job, bytes)) return true;
    // The item ends here, with the reason; the fetch's own end then finds nothing to do.
    const uint32_t index = static_cast<uint32_t>(job->index);
    ItemFailed(*table, *job, LastFileError());
    if ((job = FindJob(*table, id)) && job->index != index) Next(*table, *job);
    return false;
  };
  handlers.end = [table, id, index = job.index](const std::string& error) {
    SaveJob* job = FindJob(*table, id);
    if (!job || job->index != index) return;
    const std::string failure = error.empty() ? Decrypted(*table, *job) : error;
    if (failure.empty()) {
      ItemSaved(*table, *job);
    } else {
      ItemFailed(*table, *job, job->items[index].request.url + ": " + failure);
    }
    if ((job = FindJob(*table, id))) Next(*table, *job);
  };
  const SaveItem& item = job.items[job.index];
  job.cipher.Stop();
  if (item.key >= 0 && !job.cipher.Start(job.keys[static_cast<size_t>(item.key)], item.iv)) {
    ItemFailed(saves, job, item.request.url + ": its key or IV is not 16 bytes");
    if (SaveJob* left = FindJob(saves, id)) Next(saves, *left);
    return;
  }
  job.fetch = CSessionFetch::Start(job.view.Get(), item.request, handlers);
  if (!job.fetch) {
    ItemFailed(saves, job,
               "There is no browsing window to fetch " + job.items[job.index].request.url);
    if (SaveJob* left = FindJob(saves, id)) Next(saves, *left);
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

void Finish(Saves& saves, SaveJob& job) {
  if (job.folder.empty()) {
    if (!PlaceJoined(job)) return EndJob(saves, job, "failed", LastFileError());
    return EndJob(saves, job, "done", "");
  }
  if (job.saved || job.items.empty()) return EndJob(saves, job, "done", "");
  EndJob(saves, job, "failed", "No file could be saved");
}

// Opens the file the item in hand is written to: its own in a folder, or the joined one.
bool OpenFor(SaveJob& job, const SaveItem& item) {
  if (!job.folder.empty()) return job.file.Open(job.folder + "/" + item.name);
  return job.file.IsOpen() || job.file.Open(job.path);
}

// Saves the items that need no fetch at once, then fetches the next one.
void Next(Saves& saves, SaveJob& job) {
  const uint32_t id = job.id;
  SaveJob* running = &job;
  while (running && running->index < running->items.size()) {
    const SaveItem& item = running->items[running->index];
    std::string failure = item.refusal;
    if (failure.empty() && !OpenFor(*running, item)) failure = LastFileError();
    if (failure.empty() && !item.fromData) {
      TellRunning(saves, *running);
      return Fetch(saves, *running);
    }
    if (failure.empty() && !Written(saves, *running, item.bytes)) failure = LastFileError();
    if (failure.empty()) {
      ItemSaved(saves, *running);
    } else {
      ItemFailed(saves, *running, failure);
    }
    running = FindJob(saves, id);
  }
  if (running) Finish(saves, *running);
}

// Fetches the stream's keys that are not fetched yet, one after another, then the items.
void FetchKeys(Saves& saves, SaveJob& job) {
  if (job.keys.size() >= job.keyRequests.size()) return Next(saves, job);
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

// A media playlist read when the save starts gives the items: a master playlist's variant,
// or a live playlist whose first segments may be gone by now.
void ReadStreamPlaylist(Saves& saves, SaveJob& job) {
  Saves* table = &saves;
  const uint32_t id = job.id;
  FetchText(job.view.Get(), job.playlist, kMostPlaylistBytes,
            [table, id](const std::string& text, const std::string& error) {
              SaveJob* job = FindJob(*table, id);
              if (!job) return;
              const std::string url = job->playlist.url;
              if (!error.empty()) return EndJob(*table, *job, "failed", url + ": " + error);
              const PlaylistFacts facts = ReadPlaylist(text, url);
              std::string refusal = facts.kind == PlaylistKind::kHlsMaster
                                        ? "The variant is a master playlist"
                                        : StreamRefusal(facts, url);
              if (refusal.empty() && !StreamRefusal(facts, job->owner).empty()) {
                refusal = "The variant lists the playlist it came from";
              }
              if (!refusal.empty()) return EndJob(*table, *job, "failed", refusal);
              SetStreamItems(*job, facts, job->playlist);
              FetchKeys(*table, *job);
            });
}

}  // namespace

void StartJob(Saves& saves, std::unique_ptr<SaveJob> job) {
  job->id = saves.nextJob++;
  SaveJob& started = *job;
  saves.jobs[job->id] = std::move(job);
  if (!started.readsPlaylist) return FetchKeys(saves, started);
  TellRunning(saves, started);
  ReadStreamPlaylist(saves, started);
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

void RetellSaves(const Saves& saves) {
  for (const auto& [id, progress] : saves.told) TellPage("saveProgress", progress);
}

#pragma once

// A save that fetches through the browsing session (see file_saving.h): what it fetches,
// where it goes, and how far it is. Owned by the UI window's saves (save_files.h) and run
// by job_runner.h.

#include "finder/saves/partial_file.h"
#include "finder/saves/segment_cipher.h"
#include "finder/saves/session_fetch.h"
#include "finder/saves/stream_mux.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One file of a save, or one part of a joined file: a request of the session, or the bytes
// of a data: address; or why it cannot be saved at all.
struct SaveItem {
  FetchRequest request;
  bool fromData = false;  // `bytes` holds it (a data: address): nothing is fetched
  std::string bytes;
  std::string name;     // its file's name in a folder
  std::string refusal;  // why it is not saved; empty when it is
  int key = -1;         // the job's key it is decrypted with; -1: it is clear
  std::string iv;       // with a key: the 16 bytes of its IV
  size_t track = 0;     // the track of a stream it belongs to (its video, its sound)
};

// An item being fetched. Its bytes go to its file as they come when every item before it
// is written; until then they are held.
struct ItemFetch {
  ItemFetch() = default;
  ItemFetch(const ItemFetch&) = delete;
  ItemFetch& operator=(const ItemFetch&) = delete;
  ~ItemFetch() {
    if (fetch) fetch->Cancel();
  }

  ComPtr<CSessionFetch> fetch;
  std::string held;
  bool writing = false;
  int64_t startedAt = 0;  // writing: where it began in its file (a retry cuts back to it)
  bool whole = false;     // it came whole
  std::string failed;     // why it failed for good; the item fails in its turn
  int tries = 0;
  double retryAt = 0;  // when a failed fetch is made again (SteadyMs); 0: it is not waiting
};

// A file of a folder save that was not saved, and why.
struct SaveFailure {
  std::string name;
  std::string error;
};

struct SaveJob {
  SaveJob() = default;
  SaveJob(const SaveJob&) = delete;
  SaveJob& operator=(const SaveJob&) = delete;

  uint32_t id = 0;
  std::string name;    // what the page shows
  std::string folder;  // each item to a file of its own in it; empty: one file
  std::string path;    // the one file all items are joined into
  // Whether the joined file replaces one at its path (the user chose it); else it takes
  // "name (2).ext" and so on in the same folder.
  bool replaces = true;
  std::vector<SaveItem> items;
  // The AES-128 keys of a stream's segments: where each is, and its 16 bytes once fetched
  // (all of them before the first segment).
  std::vector<FetchRequest> keyRequests;
  std::vector<std::string> keys;
  SegmentCipher cipher;
  // The media playlists (or the DASH manifest) to read the items from first, in order, and
  // what their segments' requests carry: a master playlist's variant and its audio
  // rendition, or a live playlist read again. Each playlist is a track of its own; a
  // manifest gives the tracks of its chosen representations.
  std::vector<FetchRequest> playlists;
  size_t playlistsRead = 0;
  bool dash = false;
  size_t picture = 0;  // of a manifest: the representation of the video (PlaylistFacts::variants)
  size_t sound = SIZE_MAX;  // and of the sound; SIZE_MAX: none
  std::string owner;        // the playlist row's address: a playlist that lists it is refused
  std::string note;         // what the page is told of it besides (a live stream's cut)
  // A stream's tracks, each joined into a file of its own and then muxed into `container`
  // (stream_mux.h) at `path`; with an empty container, the items are joined into `file` as
  // they come, in the container the segments make (`joinedContainer`).
  size_t trackCount = 1;
  std::string container;
  std::string joinedContainer;
  std::vector<std::unique_ptr<PartialFile>> tracks;
  ComPtr<IWebView> view;  // the browsing view whose session fetches
  size_t index = 0;       // the item being written
  // The items being fetched, by their index: the one being written, and those after it (a
  // stream's segments are fetched several at once).
  std::map<size_t, ItemFetch> fetches;
  PartialFile file;
  int64_t bytes = 0;
  int64_t total = -1;  // the length of the one item's body, when it is known
  size_t saved = 0;    // files placed in the folder
  std::vector<SaveFailure> failures;
  double startedAt = 0;
  double toldAt = 0;
  // The tracks being muxed into `file` (declared after the files: it stops first).
  MuxWork mux;
};

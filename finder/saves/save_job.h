#pragma once

// A save that fetches through the browsing session (see file_saving.h): what it fetches,
// where it goes, and how far it is. Owned by the UI window's saves (save_files.h) and run
// by job_runner.h.

#include "finder/saves/partial_file.h"
#include "finder/saves/segment_cipher.h"
#include "finder/saves/session_fetch.h"

#include <cstdint>
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
  // Stops the fetch; the partial file goes with the job.
  ~SaveJob() {
    if (fetch) fetch->Cancel();
  }

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
  // A media playlist to read the items from first (a master playlist's variant, or a live
  // playlist read again), and what its segments' requests carry.
  FetchRequest playlist;
  bool readsPlaylist = false;
  std::string owner;      // the playlist row's address: a playlist that lists it is refused
  ComPtr<IWebView> view;  // the browsing view whose session fetches
  size_t index = 0;       // the item being saved
  PartialFile file;
  int64_t bytes = 0;
  int64_t total = -1;  // the length of the one item's body, when it is known
  size_t saved = 0;    // files placed in the folder
  std::vector<SaveFailure> failures;
  double toldAt = 0;
  ComPtr<CSessionFetch> fetch;
};

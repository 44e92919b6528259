#pragma once

// A save that fetches through the browsing session (see file_saving.h): its addresses,
// where they go, and how far it is. Owned by the UI window's saves (save_files.h).

#include "finder/saves/partial_file.h"
#include "finder/saves/session_fetch.h"

#include <cstdint>
#include <string>
#include <vector>

struct SaveJob {
  SaveJob() = default;
  SaveJob(const SaveJob&) = delete;
  SaveJob& operator=(const SaveJob&) = delete;
  // Stops the fetch; the partial file goes with the job.
  ~SaveJob() {
    if (fetch) fetch->Cancel();
  }

  uint32_t id = 0;
  std::string name;               // what the page shows
  std::vector<std::string> urls;  // fetched in order
  std::string folder;             // each address to a file of its own in it; empty: one file
  std::string path;               // the one file all addresses are joined into
  std::string variantUrl;         // a media playlist to read the addresses from first
  std::string referer;            // what the page sent with the first row's request
  ComPtr<IWebView> view;          // the browsing view whose session fetches
  size_t index = 0;               // the address being fetched
  PartialFile file;
  int64_t bytes = 0;
  int64_t total = -1;  // the announced length, for a save of one address
  double toldAt = 0;
  ComPtr<CSessionFetch> fetch;
};

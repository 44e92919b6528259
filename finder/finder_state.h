#pragma once

#include "finder/records/request_record.h"

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// Told of each row as it is kept and each time it changes: a run without a UI page writes
// the rows it lists through one.
class RowWatcher {
 public:
  virtual ~RowWatcher() = default;
  virtual void RowChanged(const RequestRecord& record) = 0;
};

// The search state of the UI window: whether a search runs, the filter settings, the record
// of each row's request, and every row the list holds, in order, so that a UI page loaded
// again (reloaded, or after its process died) gets them again. Used on the UI thread only.
struct FinderState {
  int32_t m_running = 0;
  int32_t m_paused = 0;
  // Responses that came while the search was paused and would have been listed.
  uint32_t m_unlisted = 0;
  int32_t m_filterEnabled = 1;
  int32_t m_useFileExtFilter = 0;
  std::u16string m_mimeFilter;
  std::set<std::u16string> m_extensionSet;
  // The JSON text of each row reported since the page last cleared its list, in order, and
  // the record of each row's request (the row with id m_firstId + i is m_rows[i]).
  std::vector<std::string> m_rows;
  std::vector<RequestRecord> m_records;
  uint32_t m_firstId = 1;
  // Every search started, the last one running or stopped; and how many windows the pages
  // of the last one opened.
  std::vector<SearchEntry> m_searches;
  // The row of the playlist each listed segment address belongs to.
  std::unordered_map<std::string, uint32_t> m_segmentOwners;
  // The rows of the playlists whose segments the list keeps, oldest first, and how many
  // segments they keep in all.
  std::deque<uint32_t> m_keptPlaylists;
  size_t m_keptSegments = 0;
  // Playlists whose text is being read (playlist_rows.h): their rows' facts are still to
  // come.
  size_t m_playlistReads = 0;
  int m_windowsOpened = 0;
  // How many windows the pages of the last search may open; those asked for beyond are
  // blocked (listed as rows, and counted).
  int m_windowsAllowed = 20;
  int m_windowsBlocked = 0;
  // The Date of the last response to each address (bounded): a cached copy shows it again.
  std::unordered_map<std::string, std::string> m_seenDates;
  // The origins whose pages showed a certificate nobody vouches for.
  std::set<std::string> m_untrustedOrigins;
  // Whether the UI page takes rows now: from the end of its load to its next window object.
  // Rows reported meanwhile wait in m_rows.
  bool m_pageReady = false;
  // Whether the session is asked which cookies each request carried (a run that writes no
  // cookies anywhere asks for none).
  bool m_readsCookies = true;
  // Whether the engine was asked what media it cannot play (once a media row came with a
  // UI page to tell), and what it said: the page hears it again when it loads again.
  bool m_decodersAsked = false;
  std::string m_unplayable;
  // Told of every row kept or changed, when set; not owned.
  RowWatcher* m_watcher = nullptr;
};

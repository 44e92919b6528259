#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// One reported resource, as the UI page shows it; all four texts are UTF-8.
struct FinderResult {
  std::string fileName;
  std::string url;
  std::string mimeType;
  std::string size;
};

// The search state of the UI window: whether a search runs, the filter settings, the last
// result reported for each resource identifier, and every row the list holds, in order, so
// that a UI page loaded again (reloaded, or after its process died) gets them again. Used on
// the UI thread only.
struct FinderState {
  int32_t m_running = 0;
  int32_t m_paused = 0;
  int32_t m_filterEnabled = 1;
  int32_t m_useFileExtFilter = 0;
  std::u16string m_mimeFilter;
  std::set<std::u16string> m_extensionSet;
  std::map<uint32_t, FinderResult> m_results;
  // The JSON text of each row reported since the page last cleared its list, in order.
  std::vector<std::string> m_rows;
  // Whether the UI page takes rows now: from the end of its load to its next window object.
  // Rows reported meanwhile wait in m_rows.
  bool m_pageReady = false;
};

#pragma once

// A capture run: loads its addresses, at most `jobs` at a time, each in a browsing window
// of its own with a search of its own in the list, and ends each page's capture as the
// options say (its load and a quiet period, a quiet period, a time, or its timeout); then
// saves what it listed, when asked, and lets its windows go. Pages end in any order. On the
// UI thread; the list is the application's.

#include "capture/capture_options.h"
#include "capture/capture_window.h"
#include "finder/finder_state.h"
#include "finder/saves/save_files.h"

#include <memory>
#include <string>
#include <vector>

class CRowLines;

struct CapturePage {
  enum class State { kWaiting, kLoading, kSaving, kDone };

  std::string url;
  int search = 0;  // its search in the list, once started
  State state = State::kWaiting;
  double startedAt = 0;  // on the steady clock
  double loadedAt = -1;  // when its load event came; -1: not yet
  std::string failure;   // why it did not load; empty when it did
  std::vector<uint32_t> saveJobs;
  std::unique_ptr<CCaptureWindow> window;
};

class CCaptureRun {
 public:
  CCaptureRun(const CaptureOptions& options, FinderState& state, Saves& saves, CRowLines* lines);

  // Starts the clock and the first pages; false with the reason when no window can be made.
  bool Start(HINSTANCE instance, std::string& error);
  // The page's main frame finished loading (its address now), or failed with the reason.
  void PageLoaded(size_t page, const std::string& url);
  void PageFailed(size_t page, const std::string& reason);
  // The clock's beat: ends the pages that settled, starts the next, and ends the run when
  // every page is done (or the reader of the rows went away).
  void Tick();
  // The saves' clock ticked (fetches made again after a wait, muxes that ended).
  void TickSaves();

  const std::vector<CapturePage>& Pages() const { return m_pages; }
  // The saves that failed, or files in them that did: "name: reason" each.
  const std::vector<std::string>& SaveFailures() const { return m_saveFailures; }

 private:
  void StartPage(CapturePage& page);
  bool Settled(const CapturePage& page, double now);
  // The page's rows so far are written, and its saves start.
  void EndCapture(CapturePage& page);
  void StartSaves(CapturePage& page);
  void LetGo(CapturePage& page);
  // The windows of the page's search: its own and those its pages opened, while they exist.
  std::vector<CMyWindow*> WindowsOf(const CapturePage& page);
  size_t Running() const;
  // Progress on standard error, when that is a terminal.
  void ShowProgress(double now);
  // Every window goes, which ends the loop.
  void End();

  const CaptureOptions& m_options;
  FinderState& m_state;
  Saves& m_saves;
  CRowLines* m_lines;
  HINSTANCE m_instance = nullptr;
  std::vector<CapturePage> m_pages;
  CCaptureClock m_clock{*this};
  std::vector<std::string> m_saveFailures;
  bool m_ending = false;
  bool m_showProgress = false;
  double m_shownAt = 0;
};

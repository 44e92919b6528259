#include "capture/capture_run.h"

#include "app/my_app.h"
#include "capture/row_lines.h"
#include "finder/records/clocks.h"
#include "finder/result_reporting.h"
#include "finder/saves/file_saving.h"
#include "finder/saves/job_runner.h"
#include "finder/text/url_names.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr UINT kBeatMs = 50;
constexpr int kWindowsPerPage = 20;
constexpr double kProgressGapMs = 250;
constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;

// The page's document: the first row of its search in its own window.
const RequestRecord* DocumentOf(const FinderState& state, int search) {
  for (const RequestRecord& record : state.m_records) {
    if (record.search == search && record.window == 0 && !record.blocked) return &record;
  }
  return nullptr;
}

std::string TimeoutText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "the page did not settle within %g s", seconds);
  return text;
}

}  // namespace

CCaptureRun::CCaptureRun(const CaptureOptions& options, FinderState& state, Saves& saves,
                         CRowLines* lines)
    : m_options(options), m_state(state), m_saves(saves), m_lines(lines) {
  m_pages.resize(options.urls.size());
  for (size_t i = 0; i < m_pages.size(); ++i) m_pages[i].url = options.urls[i];
  m_showProgress = isatty(STDERR_FILENO) == 1;
}

bool CCaptureRun::Start(HINSTANCE instance, std::string& error) {
  m_instance = instance;
  if (!m_clock.Start(instance, kBeatMs)) {
    error = "no window could be made: the display cannot be reached";
    return false;
  }
  m_state.m_windowsAllowed = kWindowsPerPage * static_cast<int>(m_pages.size());
  // The saves' clock: fetches made again after a wait, and muxes looked in on.
  m_saves.clock = m_clock.m_hWnd;
  Tick();
  return true;
}

void CCaptureRun::StartPage(CapturePage& page) {
  const std::string normalized = NormalizeUrlUtf8(page.url.c_str());
  m_state.m_searches.push_back({normalized, WallMs(), SteadyMs(), -1});
  page.search = static_cast<int>(m_state.m_searches.size());
  page.startedAt = SteadyMs();
  page.state = CapturePage::State::kLoading;
  page.window =
      std::make_unique<CCaptureWindow>(*this, static_cast<size_t>(&page - m_pages.data()));
  page.window->m_resourceLoadDelegate.m_search = page.search;
  if (!page.window->Create(u"trawler-capture", m_instance) ||
      !page.window->LoadUrlUtf8(page.url.c_str())) {
    page.failure = "no browsing view could be made";
    LetGo(page);
    return;
  }
  // The window of a headless browser's usual size: the page's layout, and what it loads
  // lazily, follow it.
  MoveWindow(page.window->m_hWnd, 0, 0, kViewWidth, kViewHeight, FALSE);
  ShowWindow(page.window->m_hWnd, SW_SHOW);
}

void CCaptureRun::PageLoaded(size_t index, const std::string& url) {
  CapturePage& page = m_pages[index];
  if (page.state != CapturePage::State::kLoading || page.loadedAt >= 0) return;
  page.loadedAt = SteadyMs();
  SearchEntry& search = m_state.m_searches[page.search - 1];
  search.onLoadMs = page.loadedAt - search.startClock;
  // WebKit answers an address it will not connect to (a restricted port) with an empty page.
  if (url == "about:blank" && search.url != url) {
    page.failure = "nothing was loaded: the engine refused the address (a restricted port?)";
  } else if (const RequestRecord* document = DocumentOf(m_state, page.search);
             document && document->status >= 400) {
    page.failure = "the page answered " + std::to_string(document->status) +
                   (document->statusText.empty() ? "" : " " + document->statusText);
  }
}

void CCaptureRun::PageFailed(size_t index, const std::string& reason) {
  CapturePage& page = m_pages[index];
  if (page.state != CapturePage::State::kLoading || !page.failure.empty()) return;
  page.failure = reason;
  if (page.loadedAt < 0) page.loadedAt = SteadyMs();
}

std::vector<CMyWindow*> CCaptureRun::WindowsOf(const CapturePage& page) {
  std::vector<CMyWindow*> windows;
  if (page.window && IsWindow(page.window->m_hWnd)) windows.push_back(page.window.get());
  for (CMyWindow* popup : g_pApp->m_popupWindows) {
    if (popup->m_resourceLoadDelegate.m_search == page.search && IsWindow(popup->m_hWnd)) {
      windows.push_back(popup);
    }
  }
  return windows;
}

bool CCaptureRun::Settled(const CapturePage& page, double now) {
  const double elapsed = now - page.startedAt;
  if (m_options.until == CaptureOptions::Until::kTime) {
    return elapsed >= m_options.timeSeconds * 1000;
  }
  size_t inFlight = 0;
  double lastActivity = page.startedAt;
  for (const CMyWindow* window : WindowsOf(page)) {
    inFlight += window->m_resourceLoadDelegate.InFlight();
    lastActivity = std::max(lastActivity, window->m_resourceLoadDelegate.LastActivity());
  }
  // A playlist still being read has its stream to save, and its facts to show.
  const bool quiet =
      inFlight == 0 && m_state.m_playlistReads == 0 && now - lastActivity >= m_options.idleMs;
  if (m_options.until == CaptureOptions::Until::kIdle) return quiet;
  return quiet && page.loadedAt >= 0 && now - page.loadedAt >= m_options.idleMs;
}

void CCaptureRun::EndCapture(CapturePage& page) {
  if (m_lines) m_lines->WriteRest(page.search);
  if (!m_options.saveFolder.empty()) StartSaves(page);
  if (page.saveJobs.empty()) {
    LetGo(page);
  } else {
    page.state = CapturePage::State::kSaving;
  }
}

void CCaptureRun::StartSaves(CapturePage& page) {
  FileSave files{FileSave::Kind::kFolder, {}, 0};
  for (const RequestRecord& row : m_state.m_records) {
    if (row.search == page.search && !row.blocked && row.error.empty() && row.status < 400 &&
        WantedUrl(m_options, row.url)) {
      files.ids.push_back(row.id);
    }
  }
  IWebView* view = page.window ? page.window->m_webView : nullptr;
  if (!view || files.ids.empty()) return;
  // Every file, then each stream as one file; a stream that cannot be joined says why.
  std::vector<FileSave> saves = StreamSavesOf(m_state, files.ids, m_saveFailures);
  saves.insert(saves.begin(), files);
  for (const FileSave& save : saves) {
    if (const uint32_t job = StartFileSaveIn(save, m_state, m_saves, view, m_options.saveFolder)) {
      page.saveJobs.push_back(job);
    }
  }
}

void CCaptureRun::LetGo(CapturePage& page) {
  for (uint32_t job : page.saveJobs) {
    const auto told = m_saves.told.find(job);
    if (told == m_saves.told.end()) continue;
    const Json::Value& progress = told->second;
    if (progress["state"].asString() != "done") {
      m_saveFailures.push_back(progress["name"].asString() + ": " + progress["error"].asString());
    }
    for (const Json::Value& failure : progress["failures"]) {
      m_saveFailures.push_back(failure["name"].asString() + ": " + failure["error"].asString());
    }
  }
  for (CMyWindow* window : WindowsOf(page)) DestroyWindow(window->m_hWnd);
  page.window.reset();
  page.state = CapturePage::State::kDone;
}

size_t CCaptureRun::Running() const {
  return std::count_if(m_pages.begin(), m_pages.end(), [](const CapturePage& page) {
    return page.state == CapturePage::State::kLoading || page.state == CapturePage::State::kSaving;
  });
}

void CCaptureRun::TickSaves() { ::TickSaves(m_saves); }

void CCaptureRun::Tick() {
  if (m_ending) return;
  const double now = SteadyMs();
  for (CapturePage& page : m_pages) {
    if (page.state == CapturePage::State::kLoading &&
        now - page.startedAt >= m_options.timeoutSeconds * 1000) {
      if (page.failure.empty()) page.failure = TimeoutText(m_options.timeoutSeconds);
      EndCapture(page);
    } else if (page.state == CapturePage::State::kLoading && Settled(page, now)) {
      EndCapture(page);
    } else if (page.state == CapturePage::State::kSaving &&
               std::none_of(page.saveJobs.begin(), page.saveJobs.end(),
                            [&](uint32_t job) { return m_saves.jobs.count(job) > 0; })) {
      LetGo(page);
    }
  }
  for (CapturePage& page : m_pages) {
    if (Running() >= static_cast<size_t>(m_options.jobs)) break;
    if (page.state == CapturePage::State::kWaiting) StartPage(page);
  }
  ShowProgress(now);
  const bool allDone = std::all_of(m_pages.begin(), m_pages.end(), [](const CapturePage& page) {
    return page.state == CapturePage::State::kDone;
  });
  if (allDone || (m_lines && m_lines->Failed())) End();
}

void CCaptureRun::End() {
  m_ending = true;
  CancelAllJobs(m_saves);
  if (m_showProgress) std::fputs("\n", stderr);
  // The last window to go ends the loop.
  CloseAllWindows();
}

void CCaptureRun::ShowProgress(double now) {
  if (!m_showProgress || now - m_shownAt < kProgressGapMs) return;
  m_shownAt = now;
  const size_t done = m_pages.size() - Running() -
                      std::count_if(m_pages.begin(), m_pages.end(), [](const CapturePage& page) {
                        return page.state == CapturePage::State::kWaiting;
                      });
  std::fprintf(stderr, "\rtrawler-capture: %zu of %zu pages done, %zu responses", done,
               m_pages.size(), m_state.m_records.size());
  std::fflush(stderr);
}

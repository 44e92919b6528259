#pragma once

// The windows of a capture, on its private display: a page's browsing window, shown (a page
// that is not shown is a hidden page, whose timers and frames the engine holds back), that
// tells the run of its page's load; and the clock, a window without a web view whose timer paces
// the run and which outlives every page's window (the last window to go ends the loop).

#include "finder/my_window.h"

#include <cstddef>
#include <string>

class CCaptureRun;

class CCaptureWindow : public CMyWindow {
 public:
  CCaptureWindow(CCaptureRun& run, size_t page) : m_run(run), m_page(page) { m_besideUi = false; }

  void OnLoadFinished(BSTR url) override;
  void OnLoadFailed(IWebError* error, IWebFrame* frame) override;
  void OnProvisionalLoadFailed(IWebError* error, IWebFrame* frame) override;

 private:
  void Failed(IWebError* error);

  CCaptureRun& m_run;
  size_t m_page;
};

class CCaptureClock : public CWebKitWindow {
 public:
  explicit CCaptureClock(CCaptureRun& run) : m_run(run) {}

  // Makes the window and starts its timer; false when either cannot be had.
  bool Start(HINSTANCE instance, UINT periodMs);
  void OnTimer(UINT_PTR timerId) override;

 private:
  CCaptureRun& m_run;
};

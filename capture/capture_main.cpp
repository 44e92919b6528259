#include "capture/capture_main.h"

#include "app/my_app.h"
#include "capture/capture_run.h"
#include "capture/private_display.h"
#include "capture/row_lines.h"
#include "finder/filters.h"
#include "finder/saves/list_saving.h"
#include "finder/saves/partial_file.h"

#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kBadUsage = 2;
constexpr int kFailed = 1;

int Complain(const std::string& error, int status) {
  std::fprintf(stderr, "trawler-capture: %s\n", error.c_str());
  if (status == kBadUsage) std::fputs("Try 'trawler-capture --help'.\n", stderr);
  return status;
}

bool IsFolder(const std::string& path) {
  struct stat facts {};
  return stat(path.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

void SetFilter(const CaptureOptions& options, FinderState& state) {
  state.m_filterEnabled = options.filtered ? 1 : 0;
  state.m_useFileExtFilter = options.byExtension ? 1 : 0;
  if (!options.filtered) return;
  if (options.byExtension) {
    ParseExtensionFilter(state, options.filter);
  } else {
    SetMimeFilter(state, options.filter);
  }
}

// The HAR of every wanted row into its file, made whole: false with the reason.
bool WriteHar(const CaptureOptions& options, const FinderState& state, PartialFile& file,
              std::string& error) {
  std::vector<uint32_t> ids;
  for (const RequestRecord& record : state.m_records) {
    if (WantedUrl(options, record.url)) ids.push_back(record.id);
  }
  if (file.Write(HarText(state, ids, options.harSanitized)) && file.MoveTo(options.har)) {
    return true;
  }
  error = "cannot write " + options.har + ": " + std::strerror(errno);
  file.Discard();
  return false;
}

// Says on standard error what did not go well; the exit status.
int Report(const CCaptureRun& run) {
  int status = 0;
  for (const CapturePage& page : run.Pages()) {
    if (page.failure.empty()) continue;
    std::fprintf(stderr, "trawler-capture: %s: %s\n", page.url.c_str(), page.failure.c_str());
    status = kFailed;
  }
  for (const std::string& failure : run.SaveFailures()) {
    std::fprintf(stderr, "trawler-capture: not saved: %s\n", failure.c_str());
    status = kFailed;
  }
  return status;
}

// The loop of a run whose options are read and whose HAR file is open.
int Capture(const CaptureOptions& options, PartialFile* har) {
  useBrowsingViewsOnly();
  static char module;
  CMyApp app(reinterpret_cast<HINSTANCE>(&module), SW_HIDE);
  g_pApp = &app;
  app.RegisterWindowClass();
  FinderState& state = app.m_localWindow;
  SetFilter(options, state);
  state.m_running = 1;
  // The rows as JSON lines hold no cookies; a HAR and the saves need them.
  state.m_readsCookies = !options.har.empty() || !options.saveFolder.empty();
  std::string error;
  std::unique_ptr<CRowLines> lines;
  if (!options.jsonl.empty()) {
    lines = std::make_unique<CRowLines>(state, options);
    if (!lines->Open(options.jsonl, error)) return Complain(error, kFailed);
    state.m_watcher = lines.get();
  }
  CCaptureRun run(options, state, app.m_localWindow.m_saves, lines.get());
  if (!run.Start(app.m_hInstance, error)) return Complain(error, kFailed);
  app.CWebKitApp::Run();
  state.m_watcher = nullptr;
  g_pApp = nullptr;
  // A reader that went away ends the run quietly.
  if (lines && lines->ReaderGone()) return 0;
  int status = Report(run);
  if (lines && !lines->Close(error)) status = Complain(error, kFailed);
  if (har && !WriteHar(options, state, *har, error)) status = Complain(error, kFailed);
  return status;
}

}  // namespace

int RunCapture(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  if (!ParseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    return Complain(error, kBadUsage);
  }
  if (options.help) {
    std::fputs(CaptureUsage(), stdout);
    return 0;
  }
  if (!options.saveFolder.empty() && !IsFolder(options.saveFolder)) {
    return Complain("--save: " + options.saveFolder + " is not a folder", kBadUsage);
  }
  // A closed pipe is an error of the write, not a signal that ends the run half-done.
  std::signal(SIGPIPE, SIG_IGN);
  // The outputs are made before anything loads: an unwritable one is said at once.
  PartialFile har;
  if (!options.har.empty() && !har.OpenOutput(options.har)) {
    return Complain("cannot write " + options.har + ": " + std::strerror(errno), kFailed);
  }
  // The pages are shown, as a browser's are, on a display of the run's own: never on the
  // user's screen, and the same with a display or without one.
  PrivateDisplay display;
  if (!display.Start(error)) return Complain(error, kFailed);
  return Capture(options, options.har.empty() ? nullptr : &har);
}

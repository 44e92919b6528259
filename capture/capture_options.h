#pragma once

// trawler-capture's command line: the addresses, what is written, the filter, and when a
// page's capture ends.

#include "capture/url_pattern.h"

#include <memory>
#include <string>
#include <vector>

struct CaptureOptions {
  enum class Until { kLoad, kIdle, kTime };

  std::vector<std::string> urls;
  std::string jsonl;  // "-": standard output; empty: none
  std::string har;    // empty: none
  bool harSanitized = false;
  std::string saveFolder;  // empty: nothing saved
  // The UI page's filter: off, a MIME text, or an extension list.
  bool filtered = false;
  bool byExtension = false;
  std::string filter;
  std::vector<std::unique_ptr<UrlPattern>> include;
  std::vector<std::unique_ptr<UrlPattern>> exclude;
  Until until = Until::kLoad;
  int idleMs = 500;
  double timeSeconds = 0;
  double timeoutSeconds = 60;
  int jobs = 1;
  bool help = false;
};

// Reads the arguments after the program's name. False with a one-line reason for a bad
// option, a missing value or address, or a pattern that does not compile.
bool ParseCaptureOptions(const std::vector<std::string>& arguments, CaptureOptions& options,
                         std::string& error);
// Whether the address passes --include (any of them, when given) and no --exclude.
bool WantedUrl(const CaptureOptions& options, const std::string& url);
// What --help prints.
const char* CaptureUsage();

#include "capture/capture_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

constexpr int kMostJobs = 64;
constexpr double kLongestSeconds = 24 * 60 * 60;

// A number of the whole text, within [least, most].
bool ReadNumber(const std::string& text, double least, double most, double& number) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  number = std::strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0' && std::isfinite(number) && number >= least &&
         number <= most;
}

bool AddPattern(const std::string& text, std::vector<std::unique_ptr<UrlPattern>>& patterns,
                std::string& error) {
  auto pattern = std::make_unique<UrlPattern>();
  std::string reason;
  if (!pattern->Compile(text, reason)) {
    error = "the pattern '" + text + "' does not compile: " + reason;
    return false;
  }
  patterns.push_back(std::move(pattern));
  return true;
}

bool SetFilter(CaptureOptions& options, bool byExtension, const std::string& text,
               std::string& error) {
  if (options.filtered) {
    error = "give --mime or --ext, not both";
  } else if (text.empty()) {
    error = byExtension ? "--ext needs a list such as \"*.mp3; *.flv\"" : "--mime needs a text";
  } else {
    options.filtered = true;
    options.byExtension = byExtension;
    options.filter = text;
    return true;
  }
  return false;
}

bool SetUntil(CaptureOptions& options, const std::string& text, std::string& error) {
  if (text == "load") {
    options.until = CaptureOptions::Until::kLoad;
  } else if (text == "idle") {
    options.until = CaptureOptions::Until::kIdle;
  } else {
    error = "--until takes load or idle (or give --time S)";
    return false;
  }
  return true;
}

// An option that takes a value: sets it, or says why it cannot.
bool TakeValue(const std::string& name, const std::string& value, CaptureOptions& options,
               std::string& error) {
  double number = 0;
  const auto numberIn = [&](double least, double most, const char* what) {
    if (ReadNumber(value, least, most, number)) return true;
    error = name + " takes " + what + ", not '" + value + "'";
    return false;
  };
  if (name == "--jsonl") {
    options.jsonl = value;
  } else if (name == "--har") {
    options.har = value;
  } else if (name == "--save") {
    options.saveFolder = value;
  } else if (name == "--mime" || name == "--ext") {
    return SetFilter(options, name == "--ext", value, error);
  } else if (name == "--include" || name == "--exclude") {
    return AddPattern(value, name == "--include" ? options.include : options.exclude, error);
  } else if (name == "--until") {
    return SetUntil(options, value, error);
  } else if (name == "--idle") {
    if (!numberIn(0, kLongestSeconds * 1000, "milliseconds")) return false;
    options.idleMs = static_cast<int>(number);
  } else if (name == "--time") {
    if (!numberIn(0.001, kLongestSeconds, "seconds")) return false;
    options.until = CaptureOptions::Until::kTime;
    options.timeSeconds = number;
  } else if (name == "--timeout") {
    if (!numberIn(0.001, kLongestSeconds, "seconds")) return false;
    options.timeoutSeconds = number;
  } else if (name == "--jobs") {
    if (!numberIn(1, kMostJobs, "a number of pages from 1 to 64") || number != std::floor(number)) {
      error = name + " takes a number of pages from 1 to 64, not '" + value + "'";
      return false;
    }
    options.jobs = static_cast<int>(number);
  }
  return true;
}

bool TakesValue(const std::string& name) {
  static const char* const kValued[] = {"--jsonl", "--har",     "--save",    "--mime",
                                        "--ext",   "--include", "--exclude", "--until",
                                        "--idle",  "--time",    "--timeout", "--jobs"};
  for (const char* valued : kValued) {
    if (name == valued) return true;
  }
  return false;
}

// One option; `next` is the argument after it, which a valued option takes unless the
// value came after '='.
bool TakeOption(const std::string& argument, const std::string* next, size_t& used,
                CaptureOptions& options, std::string& error) {
  const size_t equals = argument.find('=');
  const std::string name = argument.substr(0, equals);
  if (name == "--help" || name == "-h") {
    options.help = true;
  } else if (name == "--har-sanitized") {
    options.harSanitized = true;
  } else if (!TakesValue(name)) {
    error = "unknown option " + name;
    return false;
  } else if (equals != std::string::npos) {
    return TakeValue(name, argument.substr(equals + 1), options, error);
  } else if (!next) {
    error = name + " needs a value";
    return false;
  } else {
    used = 1;
    return TakeValue(name, *next, options, error);
  }
  return true;
}

}  // namespace

bool ParseCaptureOptions(const std::vector<std::string>& arguments, CaptureOptions& options,
                         std::string& error) {
  bool optionsEnd = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnd || argument.empty() || argument[0] != '-') {
      options.urls.push_back(argument);
    } else if (argument == "--") {
      optionsEnd = true;
    } else {
      size_t used = 0;
      const std::string* next = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
      if (!TakeOption(argument, next, used, options, error)) return false;
      i += used;
    }
  }
  if (options.help) return true;
  if (options.urls.empty()) {
    error = "no address to capture";
    return false;
  }
  // With nothing asked for, the rows go to standard output.
  if (options.jsonl.empty() && options.har.empty() && options.saveFolder.empty()) {
    options.jsonl = "-";
  }
  return true;
}

bool WantedUrl(const CaptureOptions& options, const std::string& url) {
  bool included = options.include.empty();
  for (const auto& pattern : options.include) included = included || pattern->Matches(url);
  if (!included) return false;
  for (const auto& pattern : options.exclude) {
    if (pattern->Matches(url)) return false;
  }
  return true;
}

const char* CaptureUsage() {
  return R"(Usage: trawler-capture [OPTIONS] URL...
Loads each address in a browsing view without a window and lists every response it gets.

Output (without any, the rows go to standard output as JSON lines):
  --jsonl FILE|-      one JSON object per response, a line each, as it ends
  --har FILE          one HAR 1.2 file of the run, a page per address
  --har-sanitized     leave cookies and Authorization out of the HAR
  --save DIR          save every listed file (and every playlist as one file) into DIR
Filter (as Trawler's window; without one every response is listed):
  --mime TEXT         responses whose MIME type contains TEXT
  --ext "*.mp3; *.flv" responses whose address ends in one of the extensions
  --include REGEX     only addresses that match (POSIX extended; may be repeated)
  --exclude REGEX     no address that matches (may be repeated)
When a page's capture ends:
  --until load        its load event, then --idle MS with no request in flight (default)
  --until idle        --idle MS with no request in flight, load event or not
  --idle MS           the quiet period (default 500)
  --time S            S seconds after it started
  --timeout S         end a page that has not settled after S seconds (default 60)
  --jobs N            load N addresses at once (default 1)
  -h, --help          this text

Exit status: 0 every page loaded, 1 a page failed, timed out or the output could not be
written, 2 bad usage. The pages are shown on a private Xvfb the run starts and ends.
)";
}

#include "finder/records/cache_source.h"

#include "finder/text/ascii_case.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// A copy older than its request by this much did not come from the network: more than
// the clocks of a server and this machine differ by.
constexpr double kOlderThanRequestMs = 3000;

// The seconds of a Cache-Control directive ("max-age=60"), or -1.
long Directive(const std::string& cacheControl, const char* name) {
  const size_t at = cacheControl.find(name);
  if (at == std::string::npos || cacheControl.compare(at + std::strlen(name), 1, "=") != 0) {
    return -1;
  }
  return std::strtol(cacheControl.c_str() + at + std::strlen(name) + 1, nullptr, 10);
}

// Whether a cache may serve the response again without asking the server.
bool Reusable(const HeaderFields& headers) {
  const std::string control = AsciiLower(HeaderValue(headers, "Cache-Control"));
  if (control.find("no-store") != std::string::npos ||
      control.find("no-cache") != std::string::npos) {
    return false;
  }
  const long maxAge = Directive(control, "max-age");
  if (maxAge >= 0) return maxAge > 0;
  const double expires = HttpDateMs(HeaderValue(headers, "Expires"));
  const double date = HttpDateMs(HeaderValue(headers, "Date"));
  if (expires >= 0 && date >= 0) return expires > date;
  // A cache may give a response with a Last-Modified date a lifetime of its own.
  return !HeaderValue(headers, "Last-Modified").empty();
}

}  // namespace

double HttpDateMs(const std::string& date) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char month[4] = {};
  struct tm parts {};
  if (std::sscanf(date.c_str(), "%*3s, %d %3s %d %d:%d:%d GMT", &parts.tm_mday, month,
                  &parts.tm_year, &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6) {
    return -1;
  }
  parts.tm_mon = -1;
  for (int i = 0; i < 12; ++i) {
    if (std::strcmp(month, kMonths[i]) == 0) parts.tm_mon = i;
  }
  if (parts.tm_mon < 0 || parts.tm_year < 1970) return -1;
  parts.tm_year -= 1900;
  return static_cast<double>(timegm(&parts)) * 1000;
}

CacheSource CacheSourceOf(int status, bool fromMemory, const HeaderFields& responseHeaders,
                          double requestWallMs, const std::string& seenDate) {
  if (status == 304) return CacheSource::kRevalidated;
  if (fromMemory) return CacheSource::kMemory;
  if (status < 200 || status >= 300 || !Reusable(responseHeaders)) return CacheSource::kNetwork;
  const std::string date = HeaderValue(responseHeaders, "Date");
  const double dated = HttpDateMs(date);
  if (dated < 0) return CacheSource::kNetwork;
  const double age = std::strtod(HeaderValue(responseHeaders, "Age").c_str(), nullptr) * 1000;
  if (date == seenDate || dated + age + kOlderThanRequestMs < requestWallMs) {
    return CacheSource::kDisk;
  }
  return CacheSource::kNetwork;
}

const char* CacheSourceName(CacheSource source) {
  switch (source) {
    case CacheSource::kMemory:
      return "memory";
    case CacheSource::kDisk:
      return "disk";
    case CacheSource::kRevalidated:
      return "revalidated";
    case CacheSource::kNetwork:
      break;
  }
  return "";
}

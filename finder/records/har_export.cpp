#include "finder/records/har_export.h"

#include "finder/records/cache_source.h"
#include "finder/records/cookies.h"
#include "finder/records/record_json.h"
#include "finder/text/ascii_case.h"
#include "finder/text/web_address.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <set>

namespace {

constexpr const char* kHttpVersion = "HTTP/1.1";

std::string PageId(int search) { return "page_" + std::to_string(search); }

// The header fields a sanitized log leaves out: those that hold secrets.
bool Secret(const HeaderField& field) {
  const std::string name = AsciiLower(field.name);
  return name == "cookie" || name == "set-cookie" || name == "authorization" ||
         name == "proxy-authorization";
}

HeaderFields Kept(const HeaderFields& fields, bool sanitized) {
  if (!sanitized) return fields;
  HeaderFields kept;
  std::copy_if(fields.begin(), fields.end(), std::back_inserter(kept),
               [](const HeaderField& field) { return !Secret(field); });
  return kept;
}

// The query's name=value pairs as they stand in the URL.
Json::Value QueryOf(const std::string& url) {
  Json::Value pairs(Json::arrayValue);
  const size_t question = url.find('?');
  if (question == std::string::npos) return pairs;
  const std::string query = url.substr(question + 1, url.find('#', question) - question - 1);
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      const size_t equals = pair.find('=');
      Json::Value item(Json::objectValue);
      item["name"] = pair.substr(0, equals);
      item["value"] = equals == std::string::npos ? "" : pair.substr(equals + 1);
      pairs.append(item);
    }
    start = end + 1;
  }
  return pairs;
}

Json::Value CookiesValue(const std::vector<Cookie>& cookies, bool sanitized) {
  Json::Value list(Json::arrayValue);
  if (sanitized) return list;
  for (const Cookie& cookie : cookies) {
    Json::Value item(Json::objectValue);
    item["name"] = cookie.name;
    item["value"] = cookie.value;
    if (!cookie.path.empty()) item["path"] = cookie.path;
    if (!cookie.domain.empty()) item["domain"] = cookie.domain;
    if (!cookie.expires.empty()) item["expires"] = cookie.expires;
    item["httpOnly"] = cookie.httpOnly;
    item["secure"] = cookie.secure;
    if (!cookie.sameSite.empty()) item["sameSite"] = cookie.sameSite;
    list.append(item);
  }
  return list;
}

// The cookies Set-Cookie fields state.
std::vector<Cookie> SetCookies(const HeaderFields& fields) {
  std::vector<Cookie> cookies;
  for (const HeaderField& field : fields) {
    Cookie cookie;
    if (AsciiLower(field.name) == "set-cookie" && ParseSetCookie(field.value, cookie)) {
      cookies.push_back(cookie);
    }
  }
  return cookies;
}

Json::Value Request(const std::string& method, const std::string& url, const HeaderFields& headers,
                    const std::vector<Cookie>& cookies, bool sanitized) {
  Json::Value request(Json::objectValue);
  request["method"] = method;
  request["url"] = UriForm(url);
  request["httpVersion"] = kHttpVersion;
  request["cookies"] = CookiesValue(cookies, sanitized);
  request["headers"] = HeadersValue(Kept(headers, sanitized));
  request["queryString"] = QueryOf(url);
  request["headersSize"] = -1;
  // A GET or HEAD has no body; the body of another method is not known.
  request["bodySize"] = method == "GET" || method == "HEAD" ? 0 : -1;
  return request;
}

// The sizes of a response's body: bytes that crossed the network (bodySize) and bytes of
// its content (content.size), -1 where they are not known.
struct BodySizes {
  int64_t transferred = -1;
  int64_t content = -1;
};

BodySizes SizesOf(const RequestRecord& record) {
  BodySizes sizes;
  const bool noBody = record.status == 304 || record.method == "HEAD" || record.status == 204 ||
                      (record.status >= 100 && record.status < 200);
  if (noBody) return {0, 0};
  const bool whole = record.finished && record.error.empty() && !record.cancelled;
  const std::string coding = AsciiLower(HeaderValue(record.responseHeaders, "Content-Encoding"));
  const bool identity = coding.empty() || coding == "identity";
  const int64_t length = record.received >= 0 ? record.received : record.announcedLength;
  if (whole && identity && length >= 0) sizes.content = length;
  if (record.cache == CacheSource::kMemory || record.cache == CacheSource::kDisk) {
    sizes.transferred = 0;
  } else if (whole && record.announcedLength >= 0 && identity) {
    sizes.transferred = record.announcedLength;
  }
  return sizes;
}

Json::Value Response(int status, const std::string& statusText, const HeaderFields& headers,
                     const std::string& mimeType, BodySizes sizes, const std::string& redirect,
                     bool sanitized) {
  Json::Value response(Json::objectValue);
  response["status"] = status;
  response["statusText"] = statusText;
  response["httpVersion"] = kHttpVersion;
  response["cookies"] = CookiesValue(SetCookies(headers), sanitized);
  response["headers"] = HeadersValue(Kept(headers, sanitized));
  Json::Value content(Json::objectValue);
  content["size"] = static_cast<Json::Int64>(sizes.content);
  content["mimeType"] = mimeType.empty() ? "x-unknown" : mimeType;
  response["content"] = content;
  response["redirectURL"] = redirect;
  response["headersSize"] = -1;
  response["bodySize"] = static_cast<Json::Int64>(sizes.transferred);
  return response;
}

// Waiting for the response, then receiving the body; while loading, what has been waited.
Json::Value Timings(double responseMs, double durationMs, double elapsedMs) {
  const double wait = responseMs >= 0 ? responseMs : std::max(durationMs, elapsedMs);
  Json::Value timings(Json::objectValue);
  timings["blocked"] = -1;
  timings["dns"] = -1;
  timings["connect"] = -1;
  timings["ssl"] = -1;
  timings["send"] = 0;
  timings["wait"] = std::max(wait, 0.0);
  timings["receive"] = durationMs >= wait ? durationMs - wait : 0.0;
  return timings;
}

// The entry's time: the sum of its timings that are known.
double TimeOf(const Json::Value& timings) {
  return timings["send"].asDouble() + timings["wait"].asDouble() + timings["receive"].asDouble();
}

Json::Value Entry(const RequestRecord& record, const SearchEntry* search, double startMs) {
  Json::Value entry(Json::objectValue);
  if (search) entry["pageref"] = PageId(record.search);
  entry["startedDateTime"] = IsoTime((search ? search->startedAt : 0) + startMs);
  entry["cache"] = Json::Value(Json::objectValue);
  entry["_window"] = record.window;
  if (record.untrustedCertificate) entry["_securityState"] = "insecure";
  return entry;
}

void AppendEntries(const RequestRecord& record, const SearchEntry* search, bool sanitized,
                   Json::Value& entries) {
  for (const RedirectHop& hop : record.redirects) {
    Json::Value entry = Entry(record, search, hop.startMs);
    entry["request"] = Request(hop.method, hop.url, hop.requestHeaders, {}, sanitized);
    entry["response"] = Response(hop.status, hop.statusText, hop.responseHeaders, "", {0, 0},
                                 hop.location, sanitized);
    entry["timings"] = Timings(hop.durationMs, hop.durationMs, 0);
    entry["time"] = TimeOf(entry["timings"]);
    entries.append(entry);
  }
  const double hopsMs =
      record.redirects.empty()
          ? 0
          : record.redirects.back().startMs + record.redirects.back().durationMs - record.startMs;
  const double startMs = record.startMs + hopsMs;
  const double durationMs = record.durationMs >= 0 ? record.durationMs - hopsMs : -1;
  const double responseMs = record.responseMs >= 0 ? record.responseMs - hopsMs : -1;
  Json::Value entry = Entry(record, search, startMs);
  entry["request"] = Request(record.method, record.url, RequestHeadersSent(record),
                             ParseCookieLines(record.cookieLines), sanitized);
  entry["response"] = Response(record.status, record.statusText, record.responseHeaders,
                               record.mimeType, SizesOf(record), "", sanitized);
  if (record.cache == CacheSource::kMemory || record.cache == CacheSource::kDisk) {
    entry["_fromCache"] = CacheSourceName(record.cache);
  }
  entry["timings"] = Timings(responseMs, durationMs, 0);
  entry["time"] = TimeOf(entry["timings"]);
  if (!record.error.empty()) entry["_error"] = record.error;
  if (record.cancelled) entry["_cancelled"] = true;
  entries.append(entry);
}

}  // namespace

std::string IsoTime(double milliseconds) {
  const double whole = std::floor(milliseconds / 1000);
  const auto seconds = static_cast<time_t>(whole);
  const int millis = static_cast<int>(milliseconds - whole * 1000) % 1000;
  struct tm utc {};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

Json::Value HarLog(const std::vector<const RequestRecord*>& records,
                   const std::vector<SearchEntry>& searches, bool sanitized) {
  Json::Value entries(Json::arrayValue);
  std::set<int> used;
  for (const RequestRecord* record : records) {
    const bool known =
        record->search >= 1 && static_cast<size_t>(record->search) <= searches.size();
    const SearchEntry* search = known ? &searches[record->search - 1] : nullptr;
    if (search) used.insert(record->search);
    AppendEntries(*record, search, sanitized, entries);
  }
  Json::Value pages(Json::arrayValue);
  for (int index : used) {
    const SearchEntry& search = searches[index - 1];
    Json::Value page(Json::objectValue);
    page["startedDateTime"] = IsoTime(search.startedAt);
    page["id"] = PageId(index);
    page["title"] = search.url;
    page["pageTimings"]["onContentLoad"] = -1;
    page["pageTimings"]["onLoad"] = search.onLoadMs >= 0 ? search.onLoadMs : -1;
    pages.append(page);
  }
  Json::Value log(Json::objectValue);
  log["version"] = "1.2";
  log["creator"]["name"] = "Trawler";
  log["creator"]["version"] = TRAWLER_VERSION;
  log["pages"] = pages;
  log["entries"] = entries;
  Json::Value har(Json::objectValue);
  har["log"] = log;
  return har;
}

#include "finder/records/har_export.h"

#include "finder/records/record_json.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <set>

namespace {

constexpr const char* kHttpVersion = "HTTP/1.1";

std::string PageId(int search) { return "page_" + std::to_string(search); }

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

Json::Value Request(const std::string& method, const std::string& url,
                    const HeaderFields& headers) {
  Json::Value request(Json::objectValue);
  request["method"] = method;
  request["url"] = url;
  request["httpVersion"] = kHttpVersion;
  request["cookies"] = Json::Value(Json::arrayValue);
  request["headers"] = HeadersValue(headers);
  request["queryString"] = QueryOf(url);
  request["headersSize"] = -1;
  request["bodySize"] = -1;
  return request;
}

Json::Value Response(int status, const std::string& statusText, const HeaderFields& headers,
                     const std::string& mimeType, int64_t size, const std::string& redirect) {
  Json::Value response(Json::objectValue);
  response["status"] = status;
  response["statusText"] = statusText;
  response["httpVersion"] = kHttpVersion;
  response["cookies"] = Json::Value(Json::arrayValue);
  response["headers"] = HeadersValue(headers);
  Json::Value content(Json::objectValue);
  content["size"] = static_cast<Json::Int64>(size < 0 ? 0 : size);
  content["mimeType"] = mimeType.empty() ? "x-unknown" : mimeType;
  response["content"] = content;
  response["redirectURL"] = redirect;
  response["headersSize"] = -1;
  response["bodySize"] = static_cast<Json::Int64>(size < 0 ? -1 : size);
  return response;
}

// Waiting for the response, then receiving the body; what is not known is 0.
Json::Value Timings(double responseMs, double durationMs) {
  const double wait = responseMs >= 0 ? responseMs : std::max(durationMs, 0.0);
  Json::Value timings(Json::objectValue);
  timings["send"] = 0;
  timings["wait"] = wait;
  timings["receive"] = durationMs >= wait ? durationMs - wait : 0.0;
  return timings;
}

Json::Value Entry(const RequestRecord& record, const SearchEntry* search, double startMs,
                  double totalMs) {
  Json::Value entry(Json::objectValue);
  if (search) entry["pageref"] = PageId(record.search);
  entry["startedDateTime"] = IsoTime((search ? search->startedAt : 0) + startMs);
  entry["time"] = std::max(totalMs, 0.0);
  entry["cache"] = Json::Value(Json::objectValue);
  entry["_window"] = record.window;
  return entry;
}

void AppendEntries(const RequestRecord& record, const SearchEntry* search, Json::Value& entries) {
  for (const RedirectHop& hop : record.redirects) {
    Json::Value entry = Entry(record, search, hop.startMs, hop.durationMs);
    entry["request"] = Request(hop.method, hop.url, hop.requestHeaders);
    entry["response"] =
        Response(hop.status, hop.statusText, hop.responseHeaders, "", 0, hop.location);
    entry["timings"] = Timings(hop.durationMs, hop.durationMs);
    entries.append(entry);
  }
  const double hopsMs =
      record.redirects.empty()
          ? 0
          : record.redirects.back().startMs + record.redirects.back().durationMs - record.startMs;
  const double startMs = record.startMs + hopsMs;
  const double durationMs = record.durationMs >= 0 ? record.durationMs - hopsMs : -1;
  const double responseMs = record.responseMs >= 0 ? record.responseMs - hopsMs : -1;
  Json::Value entry = Entry(record, search, startMs, durationMs);
  entry["request"] = Request(record.method, record.url, record.requestHeaders);
  const int64_t size = record.received >= 0 ? record.received : record.announcedLength;
  entry["response"] =
      Response(record.status, record.statusText, record.responseHeaders, record.mimeType, size, "");
  if (record.fromCache) entry["cache"]["afterRequest"] = Json::Value(Json::nullValue);
  entry["timings"] = Timings(responseMs, durationMs);
  if (!record.error.empty()) entry["_error"] = record.error;
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
                   const std::vector<SearchEntry>& searches) {
  Json::Value entries(Json::arrayValue);
  std::set<int> used;
  for (const RequestRecord* record : records) {
    const bool known =
        record->search >= 1 && static_cast<size_t>(record->search) <= searches.size();
    const SearchEntry* search = known ? &searches[record->search - 1] : nullptr;
    if (search) used.insert(record->search);
    AppendEntries(*record, search, entries);
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

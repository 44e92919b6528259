#include "finder/records/record_json.h"

#include "finder/records/cache_source.h"
#include "finder/records/cookies.h"
#include "finder/text/size_format.h"
#include "finder/text/url_names.h"

#include <cmath>

namespace {

std::string FileNameOf(const std::string& url) {
  std::string name;
  return UrlFileNameUtf8(url, name) ? name : "unknown";
}

// -1 means no length was announced; any other value counts as its bit pattern.
std::string SizeOf(int64_t length) {
  if (length == -1) return "unknown";
  std::string size;
  FormatSizeUtf8(size, static_cast<uint64_t>(length));
  return size;
}

Json::Value PlaylistValue(const PlaylistFacts& facts) {
  Json::Value value(Json::objectValue);
  value["kind"] = PlaylistKindName(facts.kind);
  Json::Value variants(Json::arrayValue);
  for (size_t i = 0; i < facts.variants.size(); ++i) {
    const PlaylistVariant& variant = facts.variants[i];
    Json::Value item(Json::objectValue);
    item["url"] = variant.url;
    item["resolution"] = variant.resolution;
    item["bandwidth"] = static_cast<Json::Int64>(variant.bandwidth);
    item["codecs"] = variant.codecs;
    item["contentType"] = variant.contentType;
    // The rendition its sound comes from, which a save muxes in; empty: its own stream's.
    const PlaylistRendition* sound = AudioRendition(facts, i);
    item["sound"] = sound ? (sound->name.empty() ? sound->url : sound->name) : "";
    variants.append(item);
  }
  value["variants"] = variants;
  value["segments"] = static_cast<Json::UInt>(facts.segments.size());
  value["duration"] = facts.durationSeconds;
  value["encryption"] = facts.encryption;
  value["live"] = facts.live;
  value["note"] = facts.note;
  return value;
}

}  // namespace

Json::Int64 WholeMs(double milliseconds) {
  return milliseconds < 0 ? -1 : static_cast<Json::Int64>(std::llround(milliseconds));
}

Json::Value RowValue(const RequestRecord& record) {
  Json::Value row(Json::objectValue);
  row["fileName"] = FileNameOf(record.url);
  row["mimeType"] = record.mimeType;
  row["size"] = SizeOf(record.announcedLength);
  // A very long address is kept whole here; the page gets its start and its length.
  const bool cut = record.url.size() > kLongestRowUrl;
  row["url"] = cut ? record.url.substr(0, kLongestRowUrl) : record.url;
  if (cut) row["urlLength"] = static_cast<Json::UInt64>(record.url.size());
  row["id"] = record.id;
  row["status"] = record.status;
  row["statusText"] = record.statusText;
  row["method"] = record.method;
  row["window"] = record.window;
  row["start"] = WholeMs(record.startMs);
  row["response"] = WholeMs(record.responseMs);
  row["duration"] = WholeMs(record.durationMs);
  row["bytes"] = static_cast<Json::Int64>(record.announcedLength);
  row["received"] = static_cast<Json::Int64>(record.received);
  row["redirects"] = static_cast<Json::UInt>(record.redirects.size());
  row["fromCache"] = record.cache != CacheSource::kNetwork;
  row["cache"] = CacheSourceName(record.cache);
  row["error"] = record.error;
  row["cancelled"] = record.cancelled;
  if (record.blocked) row["blocked"] = true;
  if (record.untrustedCertificate) row["untrustedCertificate"] = true;
  row["parent"] = record.parent;
  if (record.playlist) row["playlist"] = PlaylistValue(*record.playlist);
  return row;
}

HeaderFields RequestHeadersSent(const RequestRecord& record) {
  HeaderFields headers = record.requestHeaders;
  if (!record.cookiesKnown || !HeaderValue(headers, "Cookie").empty()) return headers;
  const std::string cookies = CookieHeaderOf(ParseCookieLines(record.cookieLines));
  if (!cookies.empty()) headers.push_back({"Cookie", cookies});
  return headers;
}

Json::Value HeadersValue(const HeaderFields& fields) {
  Json::Value list(Json::arrayValue);
  for (const HeaderField& field : fields) {
    Json::Value item(Json::objectValue);
    item["name"] = field.name;
    item["value"] = field.value;
    list.append(item);
  }
  return list;
}

Json::Value DetailsValue(const RequestRecord& record) {
  Json::Value details = RowValue(record);
  details["url"] = record.url;
  details["requestHeaders"] = HeadersValue(RequestHeadersSent(record));
  details["responseHeaders"] = HeadersValue(record.responseHeaders);
  Json::Value hops(Json::arrayValue);
  for (const RedirectHop& hop : record.redirects) {
    Json::Value item(Json::objectValue);
    item["url"] = hop.url;
    item["method"] = hop.method;
    item["status"] = hop.status;
    item["statusText"] = hop.statusText;
    item["location"] = hop.location;
    item["start"] = WholeMs(hop.startMs);
    item["duration"] = WholeMs(hop.durationMs);
    item["requestHeaders"] = HeadersValue(hop.requestHeaders);
    item["responseHeaders"] = HeadersValue(hop.responseHeaders);
    hops.append(item);
  }
  details["redirectChain"] = hops;
  return details;
}

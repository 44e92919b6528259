#include "finder/records/playlist.h"

#include "finder/records/dash_manifest.h"
#include "finder/text/ascii_case.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

namespace {

constexpr double kLongestSegment = 24 * 3600;
constexpr size_t kMostVariants = 1000;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The media type without parameters, lower case.
std::string BareType(const std::string& mimeType) {
  return AsciiLower(Trimmed(std::string_view(mimeType).substr(0, mimeType.find(';'))));
}

// Whether the address's path (without query or fragment) ends with the lower-case suffix,
// in any case. Only the end is looked at: addresses can be very long.
bool PathEndsWith(std::string_view url, std::string_view suffix) {
  const std::string_view path = url.substr(0, url.find_first_of("?#"));
  return path.size() >= suffix.size() &&
         AsciiLower(path.substr(path.size() - suffix.size())) == suffix;
}

// A non-negative number of seconds, or -1.
double Seconds(std::string_view text) {
  const std::string number(Trimmed(text));
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (number.empty() || end == number.c_str() || !std::isfinite(value) || value < 0 ||
      value > kLongestSegment) {
    return -1;
  }
  return value;
}

// An HLS attribute list: NAME=value pairs split by commas outside quotes.
std::map<std::string, std::string> Attributes(std::string_view list) {
  std::map<std::string, std::string> attributes;
  size_t at = 0;
  while (at < list.size()) {
    const size_t equals = list.find('=', at);
    if (equals == std::string_view::npos) break;
    const std::string name(Trimmed(list.substr(at, equals - at)));
    size_t end = equals + 1;
    std::string value;
    if (end < list.size() && list[end] == '"') {
      const size_t close = list.find('"', end + 1);
      value = std::string(
          list.substr(end + 1, close == std::string_view::npos ? close : close - end - 1));
      end = close == std::string_view::npos ? list.size() : close + 1;
      end = std::min(list.find(',', end), list.size());
    } else {
      end = std::min(list.find(',', end), list.size());
      value = std::string(Trimmed(list.substr(equals + 1, end - equals - 1)));
    }
    attributes[name] = value;
    at = end + 1;
  }
  return attributes;
}

void AddSegment(PlaylistFacts& facts, PlaylistSegment segment) {
  ++facts.segmentCount;
  if (facts.segments.size() < kMostSegments) {
    facts.segments.push_back(std::move(segment));
  } else if (facts.note.empty()) {
    facts.note = "Only the first " + std::to_string(kMostSegments) + " segments are listed";
  }
}

// A byte range "length[@first]"; without a first byte, the part follows `after` (the end of
// the previous part of the same resource). False for a text that is no range.
bool ByteRange(std::string_view text, int64_t after, int64_t& first, int64_t& length) {
  const std::string range(Trimmed(text));
  char* end = nullptr;
  const long long count = std::strtoll(range.c_str(), &end, 10);
  if (end == range.c_str() || count < 0) return false;
  length = count;
  first = after;
  if (*end == '@') {
    const char* start = end + 1;
    const long long at = std::strtoll(start, &end, 10);
    if (end == start || at < 0) return false;
    first = at;
  }
  return *end == '\0';
}

// The 16 bytes of an IV attribute ("0x" and 32 hexadecimal digits); empty for anything
// else.
std::string IvBytes(const std::string& text) {
  if (text.size() != 34 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return "";
  std::string bytes;
  for (size_t at = 2; at < text.size(); at += 2) {
    char* end = nullptr;
    const std::string pair = text.substr(at, 2);
    const long value = std::strtol(pair.c_str(), &end, 16);
    if (!end || *end) return "";
    bytes += static_cast<char>(value);
  }
  return bytes;
}

// An #EXT-X-KEY's attributes: the key the segments after it take, or -1 for none.
int ReadKey(std::string_view list, const std::string& url, PlaylistFacts& facts) {
  auto attributes = Attributes(list);
  const std::string& method = attributes["METHOD"];
  if (method.empty() || method == "NONE") return -1;
  facts.encryption = method;
  PlaylistKey key{method, ResolveUrl(url, attributes["URI"]), IvBytes(attributes["IV"]),
                  attributes["KEYFORMAT"]};
  if (!attributes["IV"].empty() && key.iv.empty() && facts.note.empty()) {
    facts.note = "A key's IV is not one";
  }
  // A key repeated for every segment is kept once; no more keys than segments are kept.
  if (facts.keys.size() >= kMostSegments) return static_cast<int>(facts.keys.size()) - 1;
  if (facts.keys.empty() || !(facts.keys.back() == key)) facts.keys.push_back(std::move(key));
  return static_cast<int>(facts.keys.size()) - 1;
}

void ReadHls(std::string_view text, const std::string& url, PlaylistFacts& facts) {
  bool ended = false;
  bool variantNext = false;
  bool segmentNext = false;
  bool segmentLines = false;
  double segmentSeconds = 0;
  // The next segment's byte range, and where the last range of each resource ended.
  int64_t rangeFirst = 0;
  int64_t rangeLength = 0;
  bool ranged = false;
  std::string rangeText;
  std::map<std::string, int64_t> rangeEnds;
  // The next segment's media sequence number, and the key in effect (-1: none).
  int64_t sequence = 0;
  int key = -1;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty()) continue;
    if (StartsWith(line, "#EXT-X-STREAM-INF:")) {
      auto attributes = Attributes(line.substr(18));
      if (facts.variants.size() < kMostVariants) {
        facts.variants.push_back({"", attributes["RESOLUTION"],
                                  std::strtoll(attributes["BANDWIDTH"].c_str(), nullptr, 10),
                                  attributes["CODECS"], attributes["AUDIO"], ""});
        variantNext = true;
      }
    } else if (StartsWith(line, "#EXT-X-MEDIA:")) {
      auto attributes = Attributes(line.substr(13));
      if (facts.renditions.size() < kMostVariants) {
        const std::string& uri = attributes["URI"];
        facts.renditions.push_back({attributes["TYPE"], attributes["GROUP-ID"], attributes["NAME"],
                                    attributes["LANGUAGE"], uri.empty() ? "" : ResolveUrl(url, uri),
                                    attributes["DEFAULT"] == "YES"});
      }
    } else if (StartsWith(line, "#EXTINF:")) {
      segmentSeconds =
          Seconds(line.substr(8, line.find(',') == std::string_view::npos ? std::string_view::npos
                                                                          : line.find(',') - 8));
      if (segmentSeconds < 0 && facts.note.empty())
        facts.note = "A segment's duration is not a number";
      segmentNext = true;
      segmentLines = true;
    } else if (StartsWith(line, "#EXT-X-BYTERANGE:")) {
      rangeText = std::string(line.substr(17));
      ranged = true;
    } else if (StartsWith(line, "#EXT-X-MEDIA-SEQUENCE:")) {
      sequence = std::max(0LL, std::strtoll(std::string(line.substr(22)).c_str(), nullptr, 10));
    } else if (StartsWith(line, "#EXT-X-KEY:")) {
      key = ReadKey(line.substr(11), url, facts);
    } else if (StartsWith(line, "#EXT-X-MAP:")) {
      auto attributes = Attributes(line.substr(11));
      PlaylistSegment map{ResolveUrl(url, attributes["URI"])};
      map.key = key;
      if (!attributes["BYTERANGE"].empty() &&
          !ByteRange(attributes["BYTERANGE"], 0, map.first, map.length) && facts.note.empty()) {
        facts.note = "The init section's byte range is not one";
      }
      if (!attributes["URI"].empty()) AddSegment(facts, map);
      facts.fragmentedMp4 = true;
    } else if (line == "#EXT-X-ENDLIST") {
      ended = true;
    } else if (line[0] != '#') {
      const std::string address = ResolveUrl(url, std::string(line));
      if (variantNext) {
        facts.variants.back().url = address;
      } else if (segmentNext) {
        PlaylistSegment segment{address};
        if (ranged) {
          const auto previous = rangeEnds.find(address);
          // Without its first byte, a part follows the last part of the same resource.
          const int64_t after = previous == rangeEnds.end() ? 0 : previous->second;
          if (!ByteRange(rangeText, after, rangeFirst, rangeLength)) {
            if (facts.note.empty()) facts.note = "A segment's byte range is not one";
          } else {
            segment.first = rangeFirst;
            segment.length = rangeLength;
            rangeEnds[address] = rangeFirst + rangeLength;
          }
        }
        segment.key = key;
        segment.sequence = sequence++;
        AddSegment(facts, std::move(segment));
        if (segmentSeconds > 0) facts.durationSeconds += segmentSeconds;
      }
      variantNext = segmentNext = ranged = false;
    }
  }
  if (!facts.variants.empty()) {
    facts.kind = PlaylistKind::kHlsMaster;
  } else {
    facts.kind = PlaylistKind::kHlsMedia;
    facts.live = !ended;
    if (!segmentLines && facts.note.empty()) facts.note = "The playlist lists no segments";
  }
}

// A DASH manifest: its representations as variants, and the segments of them all (so
// that the list folds them under it).
void ReadDash(std::string_view text, const std::string& url, PlaylistFacts& facts) {
  facts.kind = PlaylistKind::kDash;
  const DashManifest manifest = ReadDashManifest(text, url);
  facts.durationSeconds = manifest.durationSeconds;
  facts.live = manifest.dynamic;
  facts.note = manifest.note;
  facts.encryption = manifest.protection;
  for (const DashRepresentation& representation : manifest.representations) {
    if (facts.variants.size() < kMostVariants) {
      const bool sized = representation.width > 0 && representation.height > 0;
      facts.variants.push_back(
          {"",
           sized
               ? std::to_string(representation.width) + "x" + std::to_string(representation.height)
               : "",
           representation.bandwidth, representation.codecs, "", representation.contentType});
    }
    for (const PlaylistSegment& segment : representation.segments) AddSegment(facts, segment);
  }
}

// The position after the scheme's colon, or 0 when the address has no scheme.
size_t SchemeEnd(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0])))
    return 0;
  for (size_t i = 1; i < colon; ++i) {
    const char c = url[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return 0;
  }
  return colon + 1;
}

// The path with its "." and ".." segments taken out.
std::string WithoutDots(const std::string& path) {
  std::vector<std::string> kept;
  size_t at = 0;
  while (at <= path.size()) {
    const size_t end = std::min(path.find('/', at), path.size());
    const std::string segment = path.substr(at, end - at);
    if (segment == "..") {
      if (kept.size() > 1) kept.pop_back();
    } else if (segment != ".") {
      kept.push_back(segment);
    }
    if (end == path.size() && (segment == "." || segment == "..")) kept.push_back("");
    at = end + 1;
  }
  std::string joined;
  for (size_t i = 0; i < kept.size(); ++i) joined += (i ? "/" : "") + kept[i];
  return joined;
}

}  // namespace

const char* PlaylistKindName(PlaylistKind kind) {
  switch (kind) {
    case PlaylistKind::kHlsMaster:
      return "hls-master";
    case PlaylistKind::kHlsMedia:
      return "hls-media";
    case PlaylistKind::kDash:
      return "dash";
    case PlaylistKind::kUnknown:
      break;
  }
  return "unknown";
}

bool IsDeclaredPlaylist(const std::string& mimeType, const std::string& url) {
  const std::string type = BareType(mimeType);
  static const char* const kPlaylistTypes[] = {"application/vnd.apple.mpegurl",
                                               "application/x-mpegurl", "audio/mpegurl",
                                               "audio/x-mpegurl", "application/dash+xml"};
  for (const char* known : kPlaylistTypes) {
    if (type == known) return true;
  }
  return PathEndsWith(url, ".m3u8") || PathEndsWith(url, ".mpd");
}

bool MayBePlaylist(const std::string& mimeType, const std::string& url, int64_t announcedLength) {
  if (IsDeclaredPlaylist(mimeType, url)) return true;
  const std::string type = BareType(mimeType);
  const bool generic = type.empty() || type == "text/plain" || type == "application/octet-stream" ||
                       type == "binary/octet-stream" || type == "application/x-unknown";
  // A length not announced (a chunked answer) may be short enough: the body tells.
  return generic && announcedLength != 0 &&
         (announcedLength < 0 || static_cast<uint64_t>(announcedLength) <= kMostPlaylistBytes);
}

PlaylistFacts ReadPlaylist(std::string_view text, const std::string& url) {
  PlaylistFacts facts;
  if (StartsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  const std::string_view start = Trimmed(text.substr(0, 4096));
  if (StartsWith(start, "#EXTM3U")) {
    ReadHls(text, url, facts);
  } else if (start.find("<MPD") != std::string_view::npos) {
    ReadDash(text, url, facts);
  } else {
    facts.kind = PlaylistKind::kUnknown;
    facts.note = "Not a playlist: the text starts with neither #EXTM3U nor an MPD element";
  }
  return facts;
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
  const std::string ref = reference.substr(0, reference.find('#'));
  if (SchemeEnd(ref)) return ref;
  const size_t schemeEnd = SchemeEnd(base);
  const std::string scheme = base.substr(0, schemeEnd);
  if (StartsWith(ref, "//")) return scheme + ref;
  const std::string whole = base.substr(0, base.find('#'));
  const bool hasAuthority = whole.compare(schemeEnd, 2, "//") == 0;
  const size_t pathStart =
      hasAuthority ? std::min(whole.find('/', schemeEnd + 2), whole.find('?', schemeEnd + 2))
                   : schemeEnd;
  const std::string origin = whole.substr(0, std::min(pathStart, whole.size()));
  const std::string basePath =
      pathStart >= whole.size() ? ""
                                : whole.substr(pathStart, whole.find('?', pathStart) - pathStart);
  if (ref.empty()) return whole;
  if (ref[0] == '?') return origin + basePath + ref;
  const size_t query = ref.find('?');
  const std::string refPath = ref.substr(0, query);
  const std::string refQuery = query == std::string::npos ? "" : ref.substr(query);
  if (refPath[0] == '/') return origin + WithoutDots(refPath) + refQuery;
  const size_t slash = basePath.rfind('/');
  const std::string merged =
      (slash == std::string::npos ? (hasAuthority ? "/" : "") : basePath.substr(0, slash + 1)) +
      refPath;
  return origin + WithoutDots(merged) + refQuery;
}

namespace {

// The pixels of a "WIDTHxHEIGHT" text; 0 when it is none.
int64_t Pixels(const std::string& resolution) {
  const size_t x = resolution.find_first_of("xX");
  if (x == std::string::npos) return 0;
  const int64_t width = std::atoll(resolution.substr(0, x).c_str());
  const int64_t height = std::atoll(resolution.substr(x + 1).c_str());
  return width > 0 && height > 0 ? width * height : 0;
}

}  // namespace

size_t BestVariant(const PlaylistFacts& facts) {
  // A DASH manifest's sound and text representations are not pictures to choose from.
  const auto rank = [](const PlaylistVariant& variant) {
    const bool picture = variant.contentType != "audio" && variant.contentType != "text";
    return std::make_tuple(picture, Pixels(variant.resolution), variant.bandwidth);
  };
  size_t best = 0;
  for (size_t i = 1; i < facts.variants.size(); ++i) {
    if (rank(facts.variants[i]) > rank(facts.variants[best])) best = i;
  }
  return best;
}

const PlaylistRendition* AudioRendition(const PlaylistFacts& facts, size_t variant) {
  if (variant >= facts.variants.size() || facts.variants[variant].audio.empty()) return nullptr;
  const PlaylistRendition* chosen = nullptr;
  for (const PlaylistRendition& rendition : facts.renditions) {
    if (rendition.type != "AUDIO" || rendition.group != facts.variants[variant].audio) continue;
    if (!chosen || (rendition.isDefault && !chosen->isDefault)) chosen = &rendition;
  }
  return chosen && !chosen->url.empty() ? chosen : nullptr;
}

size_t BestAudio(const PlaylistFacts& facts) {
  size_t best = facts.variants.size();
  for (size_t i = 0; i < facts.variants.size(); ++i) {
    const PlaylistVariant& variant = facts.variants[i];
    if (variant.contentType != "audio") continue;
    if (best == facts.variants.size() || variant.bandwidth > facts.variants[best].bandwidth) {
      best = i;
    }
  }
  return best;
}

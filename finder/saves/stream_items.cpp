#include "finder/saves/stream_items.h"

#include "finder/text/web_address.h"

#include <cctype>

namespace {

// Segment names that hold MP4 fragments rather than MPEG-TS packets.
bool FragmentName(const std::string& url) {
  WebAddress address;
  if (!ParseWebAddress(url, address)) return false;
  const std::string path = address.path;
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = path.substr(dot);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* known : {".m4s", ".mp4", ".m4v", ".m4a", ".cmfv", ".cmfa", ".fmp4"}) {
    if (extension == known) return true;
  }
  return false;
}

std::string Counted(size_t count) {
  std::string digits = std::to_string(count);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace

std::string StreamRefusal(const PlaylistFacts& facts, const std::string& url) {
  if (facts.kind == PlaylistKind::kDash) {
    return "Saving a DASH stream as one file is not supported; Save shown files… saves its files";
  }
  if (facts.kind != PlaylistKind::kHlsMedia && facts.kind != PlaylistKind::kHlsMaster) {
    return "This is not an HLS playlist";
  }
  if (!facts.encryption.empty()) {
    return "This stream is encrypted (" + facts.encryption +
           "); saving it as one file is not supported";
  }
  if (facts.segmentCount > kMostSegments) {
    return "This stream lists " + Counted(facts.segmentCount) + " segments; at most " +
           Counted(kMostSegments) + " are saved as one file";
  }
  const std::string self = SentForm(url);
  for (const PlaylistVariant& variant : facts.variants) {
    if (SentForm(variant.url) == self) return "The playlist lists itself as a variant";
  }
  for (const PlaylistSegment& segment : facts.segments) {
    if (SentForm(segment.url) == self) return "The playlist lists itself as a segment";
  }
  if (facts.kind == PlaylistKind::kHlsMedia && facts.segmentCount == 0) {
    return "The playlist lists no segments";
  }
  return std::string();
}

std::vector<SaveItem> SegmentItems(const PlaylistFacts& facts, const FetchRequest& led) {
  std::vector<SaveItem> items;
  items.reserve(facts.segments.size());
  for (const PlaylistSegment& segment : facts.segments) {
    SaveItem item;
    item.request = led;
    item.request.url = segment.url;
    item.request.referer = ReferrerFor(led.policy, led.document, segment.url);
    item.request.rangeFirst = segment.first;
    item.request.rangeLength = segment.first >= 0 ? segment.length : -1;
    items.push_back(std::move(item));
  }
  return items;
}

std::string StreamExtension(const PlaylistFacts& facts) {
  const bool fragments =
      facts.fragmentedMp4 || (!facts.segments.empty() && FragmentName(facts.segments.front().url));
  return fragments ? ".mp4" : ".ts";
}

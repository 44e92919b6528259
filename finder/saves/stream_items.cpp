#include "finder/saves/stream_items.h"

#include "finder/records/dash_manifest.h"
#include "finder/text/ascii_case.h"
#include "finder/text/web_address.h"

namespace {

// Segment names that hold MP4 fragments rather than MPEG-TS packets.
bool FragmentName(const std::string& url) {
  WebAddress address;
  if (!ParseWebAddress(url, address)) return false;
  const std::string path = address.path;
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = AsciiLower(path.substr(dot));
  for (const char* known : {".m4s", ".mp4", ".m4v", ".m4a", ".cmfv", ".cmfa", ".fmp4"}) {
    if (extension == known) return true;
  }
  return false;
}

// Why a stream the DRM system protects cannot be saved.
std::string DrmRefusal(const std::string& system) {
  return "This stream is protected by DRM (" + system + "); it cannot be saved as one file";
}

std::string Counted(size_t count) {
  std::string digits = std::to_string(count);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// Why the stream's encryption keeps it from being saved; empty when it is clear or AES-128
// with keys the page's server hands out (as a player fetches them).
std::string KeyRefusal(const PlaylistFacts& facts) {
  for (const PlaylistKey& key : facts.keys) {
    if (key.method != "AES-128") {
      return "This stream is encrypted (" + key.method +
             "): sample encryption or DRM, which cannot be saved as one file";
    }
    if (!key.keyFormat.empty() && key.keyFormat != "identity") {
      return "This stream's key is held by a DRM system (" + key.keyFormat +
             "); it cannot be saved as one file";
    }
    if (key.url.empty()) return "This stream's key has no address";
  }
  for (const PlaylistSegment& segment : facts.segments) {
    if (segment.key >= 0 && segment.sequence < 0 && facts.keys[segment.key].iv.empty()) {
      return "This stream's encrypted init section has no IV";
    }
  }
  return std::string();
}

}  // namespace

std::string StreamRefusal(const PlaylistFacts& facts, const std::string& url) {
  if (facts.kind == PlaylistKind::kDash && !facts.encryption.empty()) {
    return DrmRefusal(facts.encryption);
  }
  if (facts.kind == PlaylistKind::kDash) {
    return facts.variants.empty() ? "The manifest lists no representations" : std::string();
  }
  if (facts.kind != PlaylistKind::kHlsMedia && facts.kind != PlaylistKind::kHlsMaster) {
    return "This is not an HLS playlist";
  }
  if (const std::string refusal = KeyRefusal(facts); !refusal.empty()) return refusal;
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

void AddTrack(SaveJob& job, size_t track, const std::vector<PlaylistSegment>& segments,
              const std::vector<PlaylistKey>& keys, const FetchRequest& led) {
  const auto request = [&led](const std::string& url) {
    FetchRequest made = led;
    made.url = url;
    made.referer = ReferrerFor(led.policy, led.document, url);
    return made;
  };
  const int firstKey = static_cast<int>(job.keyRequests.size());
  job.items.reserve(job.items.size() + segments.size());
  for (const PlaylistSegment& segment : segments) {
    SaveItem item;
    item.request = request(segment.url);
    item.request.rangeFirst = segment.first;
    item.request.rangeLength = segment.first >= 0 ? segment.length : -1;
    item.track = track;
    if (segment.key >= 0) {
      const PlaylistKey& key = keys[static_cast<size_t>(segment.key)];
      item.key = firstKey + segment.key;
      item.iv = key.iv.empty() ? SequenceIv(segment.sequence) : key.iv;
    }
    job.items.push_back(std::move(item));
  }
  for (const PlaylistKey& key : keys) job.keyRequests.push_back(request(key.url));
}

std::string StreamExtension(const PlaylistFacts& facts) {
  const bool fragments =
      facts.fragmentedMp4 || (!facts.segments.empty() && FragmentName(facts.segments.front().url));
  return fragments ? ".mp4" : ".ts";
}

std::string AddDashTracks(SaveJob& job, const std::string& text, const FetchRequest& led) {
  const DashManifest manifest = ReadDashManifest(text, led.url);
  if (!manifest.protection.empty()) return DrmRefusal(manifest.protection);
  if (manifest.periods > 1) {
    return "The manifest has " + std::to_string(manifest.periods) +
           " periods; one period is saved as one file";
  }
  const std::vector<DashRepresentation>& all = manifest.representations;
  size_t track = 0;
  for (const size_t chosen : {job.picture, job.sound}) {
    if (chosen == SIZE_MAX) continue;
    if (chosen >= all.size()) return "The manifest changed since it was listed";
    if (all[chosen].segments.empty()) return "A representation lists no segments";
    AddTrack(job, track++, all[chosen].segments, {}, led);
  }
  return std::string();
}

std::string AddHlsTrack(SaveJob& job, const std::string& text, const FetchRequest& led) {
  const PlaylistFacts facts = ReadPlaylist(text, led.url);
  std::string refusal = facts.kind == PlaylistKind::kHlsMaster ? "The variant is a master playlist"
                                                               : StreamRefusal(facts, led.url);
  if (refusal.empty() && !StreamRefusal(facts, job.owner).empty()) {
    refusal = "The variant lists the playlist it came from";
  }
  if (refusal.empty()) AddTrack(job, job.playlistsRead, facts.segments, facts.keys, led);
  return refusal;
}

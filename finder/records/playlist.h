#pragma once

// Streaming playlists read from their text: an HLS master playlist (its variants), an HLS
// media playlist (its segments, duration and encryption) or a DASH manifest (its
// representations). The text comes from the web: anything malformed gives a note, never
// more than the caps below.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The most text read of a playlist, and the most segments kept of one.
inline constexpr size_t kMostPlaylistBytes = 4 * 1024 * 1024;
inline constexpr size_t kMostSegments = 50'000;

struct PlaylistVariant {
  std::string url;  // absolute; empty for a DASH representation
  std::string resolution;
  int64_t bandwidth = 0;
  std::string codecs;
  std::string audio;        // the group of its audio renditions (AUDIO); empty: none
  std::string contentType;  // a DASH representation's "video", "audio", "text" or ""
};

// An #EXT-X-MEDIA of a master playlist: sound (or subtitles) of their own, which variants
// name by their group.
struct PlaylistRendition {
  std::string type;  // "AUDIO", "SUBTITLES", ...
  std::string group;
  std::string name;
  std::string language;
  std::string url;  // absolute; empty: it is within the variants' own streams
  bool isDefault = false;
};

enum class PlaylistKind { kUnknown, kHlsMaster, kHlsMedia, kDash };
// The kind as a row names it: "unknown", "hls-master", "hls-media" or "dash".
const char* PlaylistKindName(PlaylistKind kind);

// A segment of a media playlist: its address, and the part of it when the playlist names
// one (#EXT-X-BYTERANGE, or an init section's BYTERANGE).
struct PlaylistSegment {
  std::string url;
  int64_t first = -1;     // the part's first byte; -1: the whole resource
  int64_t length = -1;    // with first: the part's bytes
  int key = -1;           // the key it is encrypted with (PlaylistFacts::keys); -1: clear
  int64_t sequence = -1;  // its media sequence number; -1: none (an init section)
};

// An #EXT-X-KEY: how the segments after it are encrypted.
struct PlaylistKey {
  std::string method;     // "AES-128", "SAMPLE-AES", ...
  std::string url;        // where the key is, absolute
  std::string iv;         // the 16 bytes of its IV attribute; empty: the sequence number's
  std::string keyFormat;  // empty or "identity": the key is the 16 bytes at url

  bool operator==(const PlaylistKey&) const = default;
};

struct PlaylistFacts {
  PlaylistKind kind = PlaylistKind::kUnknown;  // kUnknown: see note
  std::vector<PlaylistVariant> variants;
  std::vector<PlaylistRendition> renditions;
  // In order, an init section first; at most kMostSegments are kept of segmentCount.
  std::vector<PlaylistSegment> segments;
  size_t segmentCount = 0;
  // The list gave the segments up to keep its memory bounded: a save reads them again.
  bool segmentsDropped = false;
  double durationSeconds = 0;
  // The key method other than NONE ("AES-128", ...), or the DRM system a DASH manifest
  // names; empty: clear.
  std::string encryption;
  std::vector<PlaylistKey> keys;
  bool live = false;  // a media playlist that has not ended, or a dynamic manifest
  bool fragmentedMp4 = false;
  std::string note;  // what could not be read
};
using PlaylistFactsPtr = std::shared_ptr<const PlaylistFacts>;

// The variant a save takes when none is chosen: the most pixels (RESOLUTION), then the
// highest bandwidth, the first of equals; 0 when there are none.
size_t BestVariant(const PlaylistFacts& facts);
// The sound a save of the variant takes from a playlist of its own: its audio group's
// default rendition, else the group's first; null when the variant's stream holds its sound.
const PlaylistRendition* AudioRendition(const PlaylistFacts& facts, size_t variant);
// The DASH audio representation a save takes beside the video: the highest bandwidth, the
// first of equals; facts.variants.size() when there is none.
size_t BestAudio(const PlaylistFacts& facts);
// Whether a response says it is a playlist, by its type or its name.
bool IsDeclaredPlaylist(const std::string& mimeType, const std::string& url);
// Whether a response may be a playlist worth reading: a declared one, or one of a generic
// type (none, text or bytes) that may not be longer than the cap; its first bytes tell.
bool MayBePlaylist(const std::string& mimeType, const std::string& url, int64_t announcedLength);
// Reads the text of the playlist at the address (relative addresses resolve against it).
PlaylistFacts ReadPlaylist(std::string_view text, const std::string& url);
// The reference resolved against the base address, without its fragment.
std::string ResolveUrl(const std::string& base, const std::string& reference);

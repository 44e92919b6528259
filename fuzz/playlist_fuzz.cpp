// A playlist's text and its address, as arbitrary bytes (split at the first 0xFF): reading
// never crashes and keeps within its caps; a resolved address never holds a fragment.

#include "finder/records/playlist.h"
#include "fuzz/fuzz_input.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [text, url] = SplitFuzzInput(data, size);
  const PlaylistFacts facts = ReadPlaylist(text, url);
  if (facts.segments.size() > kMostSegments || !std::isfinite(facts.durationSeconds) ||
      facts.durationSeconds < 0) {
    std::abort();
  }
  if (ResolveUrl(url, text).find('#') != std::string::npos) std::abort();
  MayBePlaylist(text, url, static_cast<int64_t>(size) - 1);
  return 0;
}

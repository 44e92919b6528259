#pragma once

// A media playlist as the items of one joined file: why it cannot be saved as one file (as
// a person reads it), and the requests of its segments (each with its byte range) and of
// its AES-128 keys, carrying what the page's own requests for them would.

#include "finder/records/playlist.h"
#include "finder/saves/save_job.h"

#include <string>
#include <vector>

// Why the playlist at `url` cannot be saved as one file; empty when it can.
std::string StreamRefusal(const PlaylistFacts& facts, const std::string& url);
// The segments (with the keys they name) are the job's track of that number: each an item that is
// `led` with the segment's address, range and the Referer its document's policy gives it,
// and the key and IV of an encrypted one; the job's key requests are made the same way.
void AddTrack(SaveJob& job, size_t track, const std::vector<PlaylistSegment>& segments,
              const std::vector<PlaylistKey>& keys, const FetchRequest& led);
// A manifest read when the save starts: its chosen representations (the job's picture and
// sound) as the job's tracks, each `led` as AddTrack makes them. Why they cannot be (DRM,
// several periods, a manifest changed since it was listed), or empty.
std::string AddDashTracks(SaveJob& job, const std::string& text, const FetchRequest& led);
// A media playlist read when the save starts: its segments as the job's next track. Why
// they cannot be (a master playlist, a stream that cannot be joined, a playlist that lists
// the one the save came from), or empty.
std::string AddHlsTrack(SaveJob& job, const std::string& text, const FetchRequest& led);
// The extension of the joined file: ".mp4" for fragmented MP4 (CMAF), ".ts" for MPEG-TS.
std::string StreamExtension(const PlaylistFacts& facts);

#pragma once

// A DASH manifest (MPD) read into what a save needs: each representation of each period
// with its segments in order, its initialization section first. Segment addresses come from
// a SegmentTemplate ($RepresentationID$, $Number$ from startNumber, $Time$ along a
// SegmentTimeline, $Bandwidth$, each with an optional %0Nd width), a SegmentList, or a
// SegmentBase (the representation's one file, its init and index ranges within it), taken
// from the innermost level that has one, attribute by attribute; BaseURL resolves at every
// level. A dynamic manifest's segments are those of its current window.

#include "finder/records/playlist.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct DashRepresentation {
  std::string id;
  // "video", "audio" or "text", from the adaptation set's contentType or the MIME type;
  // empty when neither says.
  std::string contentType;
  std::string mimeType;
  std::string codecs;
  std::string language;
  int64_t bandwidth = 0;
  int width = 0;
  int height = 0;
  std::vector<PlaylistSegment> segments;  // the init section first, when there is one
};

struct DashManifest {
  bool dynamic = false;
  size_t periods = 0;
  // The DRM system a ContentProtection names ("Widevine", "PlayReady", "FairPlay",
  // "ClearKey", "Common Encryption" or its scheme as written); empty when none is named.
  std::string protection;
  double durationSeconds = 0;
  std::vector<DashRepresentation> representations;  // of every period, in order
  std::string note;                                 // what could not be read; empty when all was
};

DashManifest ReadDashManifest(std::string_view text, const std::string& url);
// A SegmentTemplate address with its identifiers filled in; "$$" is one "$", and an
// unknown identifier stays as written.
std::string FillTemplate(const std::string& pattern, const std::string& id, int64_t number,
                         int64_t time, int64_t bandwidth);
// An ISO 8601 duration ("PT1H2M3.5S", "P1DT2H") in seconds; 0 for anything else.
double IsoSeconds(const std::string& text);

#pragma once

// What Trawler keeps of a request a browsing window made while a search ran: the request,
// the redirect hops that led to its final address, its response, its timing and how it
// ended. Texts are UTF-8; times are milliseconds.

#include "finder/records/playlist.h"

#include <cstdint>
#include <string>
#include <vector>

struct HeaderField {
  std::string name;
  std::string value;
};
using HeaderFields = std::vector<HeaderField>;

// A response that sent the request on, with its 3xx status and Location.
struct RedirectHop {
  std::string url;
  std::string method;
  HeaderFields requestHeaders;
  HeaderFields responseHeaders;
  int status = 0;
  std::string statusText;
  std::string location;
  double startMs = 0;     // since the search started
  double durationMs = 0;  // until the hop's response
};

// Where a response came from: the network, the page's memory cache, the disk cache (a
// fresh copy the network layer kept), or a cached copy the server confirmed (304).
enum class CacheSource { kNetwork, kMemory, kDisk, kRevalidated };

struct RequestRecord {
  uint32_t id = 0;  // the row's identifier, 0 until the row is reported
  int window = 0;   // 0: the main browsing window; n: the n-th window the search's pages opened
  int search = 0;   // which search of the list: 1 for the first
  std::string url;
  std::string method = "GET";
  HeaderFields requestHeaders;
  HeaderFields responseHeaders;
  // The page the request was made from (its window's address then), which decides the
  // Referer and the SameSite cookies of a request made again for it.
  std::string initiator;
  // The cookies the session held for the request when it was made (one Set-Cookie line
  // each), once the session told them.
  std::string cookieLines;
  bool cookiesKnown = false;
  int status = 0;  // 0: no response yet, or one without an HTTP status (file:, data:)
  std::string statusText;
  std::string mimeType;
  int64_t announcedLength = -1;  // -1: none announced
  int64_t received = -1;         // bytes of body received; -1: not known
  double startMs = 0;            // since the search started
  double startClock = 0;         // on the steady clock (SteadyMs)
  double startWall = 0;          // on the wall clock (WallMs)
  double responseMs = -1;        // from the start to the response; -1: none yet
  double durationMs = -1;        // from the start to the end; -1: still loading
  std::vector<RedirectHop> redirects;
  CacheSource cache = CacheSource::kNetwork;
  bool finished = false;
  std::string error;       // why the load failed; empty when it did not (or was cancelled)
  bool cancelled = false;  // let go before its end (a newer load, the page, a media element)
  bool blocked = false;    // a window the page asked for and was not given
  bool untrustedCertificate = false;  // its page's certificate is one nobody vouches for
  uint32_t parent = 0;                // the row of the playlist this is a segment of; 0: none
  unsigned long identifier = 0;       // the engine's for the load, in its window's view
  PlaylistFactsPtr playlist;          // what the response holds when it is a playlist
};

// A search the list holds rows of: the address asked for and when it started.
struct SearchEntry {
  std::string url;
  double startedAt = 0;   // wall-clock milliseconds since 1970
  double startClock = 0;  // on the steady clock (SteadyMs)
  double onLoadMs = -1;   // when the main page finished or failed; -1: not yet
};

// Header lines ("Name: value", each ended by CR LF or LF) as fields; lines without a colon
// are dropped and at most 200 fields of 8 KiB are kept, as a hostile server may send more.
HeaderFields ParseHeaderLines(const std::string& lines);
// The value of the first field with that name (case-insensitive), or empty.
std::string HeaderValue(const HeaderFields& fields, const std::string& name);
// The page whose site decides which SameSite cookies the request carries: empty for a
// window's document (a request made for itself), else the page it was made from.
std::string CookiePageOf(const RequestRecord& record);

#pragma once

// Where a response came from, told from what the engine says of it and from its headers:
// the page's memory cache (the engine says so), a cached copy the server confirmed (304),
// the disk cache of the network layer (a fresh, cacheable copy whose Date is older than its
// request, or the very copy this run saw before), or the network.

#include "finder/records/request_record.h"

#include <string>

// requestWallMs: when the request started, on the wall clock; seenDate: the Date header of
// the last response to the same address this run saw (empty for none).
CacheSource CacheSourceOf(int status, bool fromMemory, const HeaderFields& responseHeaders,
                          double requestWallMs, const std::string& seenDate);
// An HTTP date (IMF-fixdate, "Wed, 09 Dec 2026 03:10:32 GMT") in milliseconds since 1970,
// or -1.
double HttpDateMs(const std::string& date);
// The name the formats give a source: "", "memory", "disk" or "revalidated".
const char* CacheSourceName(CacheSource source);

#pragma once

// Request records as JSON values: the row the UI page lists, and the details it shows of a
// selected row.

#include "finder/records/request_record.h"

#include <json/json.h>

// The longest address a row carries; a longer one is cut, with urlLength its length.
inline constexpr size_t kLongestRowUrl = 64 * 1024;

// The row: the four texts the list has always had (fileName, mimeType, size, url) and the
// request's outcome: id, status, statusText, method, window, start, response, duration (in
// whole milliseconds, -1 when not known), bytes (the exact length announced, -1 when
// none), received (-1 when not known), redirects (how many), fromCache and cache ("",
// "memory", "disk" or "revalidated"), error, cancelled, and when they hold, blocked and
// untrustedCertificate.
Json::Value RowValue(const RequestRecord& record);
// The row (with its whole address) with the request headers as sent (the session's cookies
// as the Cookie header the engine does not show) and the response's (lists of {name,
// value}) and the redirect hops ({url, method, status, statusText, location, start,
// duration, headers}).
Json::Value DetailsValue(const RequestRecord& record);
// The request's header fields as they went: those recorded, and the Cookie header of the
// cookies the session held for it when the engine does not show one.
HeaderFields RequestHeadersSent(const RequestRecord& record);
// Fields as a list of {name, value}.
Json::Value HeadersValue(const HeaderFields& fields);
// A time as whole milliseconds, or -1 for a negative one (not known).
Json::Int64 WholeMs(double milliseconds);

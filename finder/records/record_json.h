#pragma once

// Request records as JSON values: the row the UI page lists, and the details it shows of a
// selected row.

#include "finder/records/request_record.h"

#include <json/json.h>

// The row: the four texts the list has always had (fileName, mimeType, size, url) and the
// request's outcome: id, status, statusText, method, window, start, response, duration (in
// whole milliseconds, -1 when not known), bytes (announced, -1 when not), received,
// redirects (how many), fromCache and error.
Json::Value RowValue(const RequestRecord& record);
// The row with the request and response headers (lists of {name, value}) and the redirect
// hops ({url, method, status, statusText, location, start, duration, headers}).
Json::Value DetailsValue(const RequestRecord& record);
// Fields as a list of {name, value}.
Json::Value HeadersValue(const HeaderFields& fields);
// A time as whole milliseconds, or -1 for a negative one (not known).
Json::Int64 WholeMs(double milliseconds);

#pragma once

// The request records as a HAR 1.2 log (the HTTP Archive format of the browsers' network
// panels): a page for each search the records belong to, and an entry for each redirect hop
// and each request, in the order given. A failed request is an entry with status 0 and its
// error in "_error".

#include "finder/records/request_record.h"

#include <json/json.h>

#include <vector>

Json::Value HarLog(const std::vector<const RequestRecord*>& records,
                   const std::vector<SearchEntry>& searches);
// A wall-clock time (milliseconds since 1970) as ISO 8601 UTC with milliseconds.
std::string IsoTime(double milliseconds);

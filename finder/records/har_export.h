#pragma once

// The request records as a HAR 1.2 log (the HTTP Archive format of the browsers' network
// panels): a page for each search the records belong to, and an entry for each redirect hop
// and each request, in the order given. A failed request is an entry with its error in
// "_error", a cancelled one has "_cancelled"; a copy from the memory or disk cache has
// "_fromCache" ("memory", "disk"), a page whose certificate nobody vouches for
// "_securityState": "insecure". Sizes and times WebKitGTK does not tell are -1. Sanitized,
// the log holds no cookies and no Cookie, Set-Cookie or Authorization fields.

#include "finder/records/request_record.h"

#include <json/json.h>

#include <vector>

Json::Value HarLog(const std::vector<const RequestRecord*>& records,
                   const std::vector<SearchEntry>& searches, bool sanitized);
// A wall-clock time (milliseconds since 1970) as ISO 8601 UTC with milliseconds.
std::string IsoTime(double milliseconds);

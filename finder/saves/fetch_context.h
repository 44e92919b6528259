#pragma once

// What a request the tool makes for a row sends, so that it is what the browser sent or
// would send: for the row's own address the Referer its request carried; for an address
// the row leads to (a segment, a key, a variant) the Referer the row's document's referrer
// policy gives it (its Referrer-Policy header, or the policy its own requests show, or the
// web's default); and the SameSite cookies of the page the request was made from.

#include "finder/finder_state.h"
#include "finder/saves/session_fetch.h"

// The request of the row's own address.
FetchRequest RowFetch(const FinderState& state, const RequestRecord& row);
// A request of an address the row leads to, made from the row's document.
FetchRequest LedFetch(const FinderState& state, const RequestRecord& row, const std::string& url);

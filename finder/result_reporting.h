#pragma once

#include "finder/finder_state.h"

#include <cstdint>
#include <string>

// Builds the result of a response, filters it, records it under its identifier and in the
// list's rows, and posts its JSON text to the UI page's addResult when the page is ready.
// 1 when addResult ran without an exception (a page in this process) or the call is on its
// way (a page in another process), else 0.
int ReportResponse(FinderState& state, const std::u16string& url, uint32_t identifier,
                   const std::u16string& mimeType, int64_t expectedLength);

// Posts one row's JSON text to the UI page's addResult, never waiting for the page; as
// ReportResponse answers.
int PostRow(const std::string& text);
// The UI page is ready for rows: it gets every row of the list, in order.
void ReplayRows(FinderState& state);

// The JSON text of a result: {"fileName","mimeType","size","url"}, compact, one newline.
std::string ResultJson(const FinderResult& result);

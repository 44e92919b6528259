#pragma once

#include "finder/finder_state.h"

#include <cstdint>
#include <string>

// Builds the result of a response, filters it, records it under its identifier, and
// hands its JSON text to the UI page's addResult. 1 when addResult ran without an
// exception, else 0.
int ReportResponse(FinderState& state, const std::u16string& url, uint32_t identifier,
                   const std::u16string& mimeType, int64_t expectedLength);

// The JSON text of a result: {"fileName","mimeType","size","url"}, compact, one newline.
std::string ResultJson(const FinderResult& result);

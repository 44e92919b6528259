#pragma once

#include "finder/finder_state.h"

#include <string>

// Replaces the MIME filter text; false, with the filter unchanged, for an empty text.
bool SetMimeFilter(FinderState& state, const std::string& text);
// Replaces the extension set by the tokens of a list such as "*.mp3; *.flv": "*" and " "
// are dropped and ";" or "," separate tokens. False, with the set unchanged, for an empty
// text.
bool ParseExtensionFilter(FinderState& state, const std::string& text);
// The URL's extension: from its last dot that no later backslash or space follows, to the
// end (query and fragment included); empty when there is none.
std::u16string ExtensionOf(const std::u16string& url);
// Whether a response passes the filter settings of the state.
bool MatchesFilter(const FinderState& state, const std::u16string& url,
                   const std::u16string& mimeType);

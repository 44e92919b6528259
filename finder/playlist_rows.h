#pragma once

// What a listed playlist holds, shown on its row: the engine's copy of its text is read
// once it has loaded (or, when the engine kept none, the text is fetched once through the
// browsing session), and the rows of its segments are folded under it.

#include "finder/finder_state.h"
#include "webview/web_engine.h"

// Reads the body of the response the row lists, when it may be a playlist.
void ReadPlaylistOf(IWebView* view, unsigned long identifier, const RequestRecord& row);
// Puts the facts on the row, and makes the rows of its segments (listed now or later) its
// children.
void ApplyPlaylist(FinderState& state, uint32_t id, PlaylistFacts facts);

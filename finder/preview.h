#pragma once

// A look at a row's body for the page's details pane: the body the engine kept of the load,
// or else (for a GET of a web address) the first kPreviewBytes of it fetched once through
// the browsing session, as the row's request was made. The page hears it later as
// previewReady {id, ok, error, mimeType, whole, bytes, data (base64)}; it shows the bytes as
// text, an image, a font sample or a player, never as a document of its own.

#include "finder/finder_state.h"
#include "finder/saves/session_fetch.h"

#include <json/json.h>

#include <cstddef>
#include <cstdint>

inline constexpr size_t kPreviewBytes = 10 * 1024 * 1024;

// The preview in hand: the row it is of, and its fetch while one runs. A newer preview
// stops the older one's fetch.
struct Preview {
  ~Preview();
  uint32_t row = 0;
  ComPtr<CSessionFetch> fetch;
};

// preview {id}: 1 when the row's preview is on its way; 0 for no such row, or with
// answer["message"] saying why its body cannot be had.
int RequestPreview(const Json::Value& params, FinderState& state, Preview& preview,
                   Json::Value& answer);

#pragma once

// The finder's commands, as the UI page sends them through the service object. Each
// answers 1 or 0; bad parameters answer 0 and change nothing.

#include "finder/finder_state.h"
#include "platform/win32.h"

#include <json/json.h>

#include <string>

class CLocalWindow;

// The service handler of the UI window: routes "com.quillmoor.trawler" calls to the
// commands and sets "returnValue" to the result.
int HandleFinderCall(const std::u16string& uri, const std::u16string& method,
                     const Json::Value& params, void* userData, Json::Value& returnValue);

// Stores the filter settings and loads the address in the browsing window.
int StartSearch(const Json::Value& params, FinderState& state);
// Opens the address with the desktop's default handler.
int OpenUrl(const Json::Value& params, const FinderState& state);
// Puts the address on the clipboard as Unicode text, owned by the UI window.
int CopyUrl(const Json::Value& params, CLocalWindow& window);
// Pauses a running search, or resumes a paused one; resumed, the page's searchResumed
// hears {unlisted}: how many responses that the filter would have passed came meanwhile.
int PauseSearch(FinderState& state);
int StopSearch(FinderState& state);
// How many windows a search's pages may open before further ones are blocked.
inline constexpr int kWindowsPerSearch = 20;
// The running search's pages may open kWindowsPerSearch windows more.
int AllowWindows(FinderState& state);
// The page cleared its list: the rows and records kept for it go.
int ClearResults(FinderState& state);
// Puts the text on the clipboard as Unicode text, owned by the window.
bool PutOnClipboard(HWND owner, const std::u16string& text);
// Copies the row {"id"} as a cURL command with the browsing session's cookies for it, once
// the session has told them; the page's curlCopied hears {ok}.
int CopyCurl(const Json::Value& params, CLocalWindow& window);
// Everything kept of the row {"id"} (headers, redirect hops, timing) in answer["details"].
int RowDetails(const Json::Value& params, FinderState& state, Json::Value& answer);

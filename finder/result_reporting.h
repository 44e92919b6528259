#pragma once

#include "finder/finder_state.h"

#include <json/json.h>

#include <cstdint>
#include <string>

// Reports the row of a request whose response passed the filter: gives it the next row id,
// keeps its record and its row's JSON text, and posts the row to the UI page's addResult
// when the page is ready; the state's row watcher hears of it. The row's id.
uint32_t KeepRequest(FinderState& state, RequestRecord record);
// A request that failed before any response: its row is reported when the filter is off or
// the URL's extension passes it. The row's id, or 0.
uint32_t ReportFailedRequest(FinderState& state, RequestRecord record);
// A record of a request starting now in a window of the search of that number (0: the
// latest): its search, its clocks, and its start since the search's.
RequestRecord RecordStartingNow(const FinderState& state, int search);
// The kept record of a row, or null when the list no longer holds it.
RequestRecord* FindRecord(FinderState& state, uint32_t id);
const RequestRecord* FindRecord(const FinderState& state, uint32_t id);
// The kept record of a row changed (it ended, failed or received more): its row is kept
// anew and posted to the UI page's updateResult, and the row watcher hears of it. Nothing for a row
// the list no longer holds.
void UpdateReported(FinderState& state, uint32_t id);

// The main browsing window's page finished (or failed, with a text): the UI page's
// pageLoaded gets {url, ok, error, requests, failed, cancelled, untrustedCertificate, loadMs}
// for the running search (loadMs: when its page finished, in milliseconds since it started).
void ReportPageLoad(FinderState& state, const std::string& url, const std::string& error);

// Posts a call of the named function of the UI page with one text, never waiting for the
// page. 1 when the function ran without an exception (a page in this process) or the call
// is on its way (a page in another process), else 0.
int PostPageCall(const char* function, const std::string& text);
// Tells the UI page something through the named function: the value as JSON text.
void TellPage(const char* function, const Json::Value& notice);
// The UI page is ready for rows: it gets every row of the list, in order.
void ReplayRows(FinderState& state);

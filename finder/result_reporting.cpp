#include "finder/result_reporting.h"

#include "app/my_app.h"
#include "bridge/json_text.h"
#include "bridge/script_values.h"
#include "finder/filters.h"
#include "finder/records/clocks.h"
#include "finder/records/playlist.h"
#include "finder/records/record_json.h"
#include "finder/text/text_conversion.h"
#include "finder/text/web_address.h"
#include "webview/web_engine.h"

int PostPageCall(const char* function, const std::string& text) {
  if (!g_pApp) return 0;
  // One frame query per row: the global object comes from the context at hand.
  const js::JSGlobalContextRef context = g_pApp->m_localWindow.GetGlobalContext();
  const js::JSObjectRef global = context ? js::JSContextGetGlobalObject(context) : nullptr;
  if (!global) return 0;
  ScriptArguments arguments{context, {}};
  AppendStringArgument(text, arguments);
  const bool posted = PostScriptCall(context, global, function, arguments);
  ClearArguments(arguments);
  return posted ? 1 : 0;
}

void TellPage(const char* function, const Json::Value& notice) {
  PostPageCall(function, WriteJsonText(notice));
}

namespace {

void TellUnplayable(const FinderState& state) {
  Json::Value notice(Json::objectValue);
  notice["message"] = state.m_unplayable;
  TellPage("mediaUnplayable", notice);
}

// The first video, sound or stream the UI page is shown: the engine says whether it can
// play such media here, since a page's player that cannot never asks for its stream.
void NoteMediaRow(FinderState& state, const RequestRecord& record) {
  const std::string& type = record.mimeType;
  // The type first: a playlist's name is looked for in web addresses only (a data: address
  // may be megabytes long), until the first media row.
  const bool media = type.rfind("video/", 0) == 0 || type.rfind("audio/", 0) == 0 ||
                     (IsHttpAddress(record.url) && IsDeclaredPlaylist(type, record.url));
  if (!media) return;
  state.m_decodersAsked = true;
  const char* missing = missingMediaDecoders();
  if (!missing) return;
  state.m_unplayable = missing;
  TellUnplayable(state);
}

}  // namespace

void ReplayRows(FinderState& state) {
  state.m_pageReady = true;
  for (const std::string& row : state.m_rows) PostPageCall("addResult", row);
  if (!state.m_unplayable.empty()) TellUnplayable(state);
}

uint32_t KeepRequest(FinderState& state, RequestRecord record) {
  record.id = state.m_firstId + static_cast<uint32_t>(state.m_records.size());
  // Only a list with playlists has segments to look up (hashing costs a pass over the URL).
  if (!state.m_segmentOwners.empty()) {
    const auto owner = state.m_segmentOwners.find(SentForm(record.url));
    if (owner != state.m_segmentOwners.end()) record.parent = owner->second;
  }
  state.m_rows.push_back(WriteJsonText(RowValue(record)));
  state.m_records.push_back(std::move(record));
  // A page that is not ready gets the row with the others once it is.
  if (state.m_pageReady) PostPageCall("addResult", state.m_rows.back());
  if (state.m_pageReady && !state.m_decodersAsked) NoteMediaRow(state, state.m_records.back());
  if (state.m_watcher) state.m_watcher->RowChanged(state.m_records.back());
  return state.m_records.back().id;
}

uint32_t ReportFailedRequest(FinderState& state, RequestRecord record) {
  const bool passes = !state.m_filterEnabled ||
                      (state.m_useFileExtFilter && MatchesFilter(state, Utf16Of(record.url), u""));
  return passes ? KeepRequest(state, std::move(record)) : 0;
}

const RequestRecord* FindRecord(const FinderState& state, uint32_t id) {
  const uint32_t index = id - state.m_firstId;
  return id >= state.m_firstId && index < state.m_records.size() ? &state.m_records[index]
                                                                 : nullptr;
}

RequestRecord* FindRecord(FinderState& state, uint32_t id) {
  return const_cast<RequestRecord*>(FindRecord(std::as_const(state), id));
}

void UpdateReported(FinderState& state, uint32_t id) {
  const RequestRecord* kept = FindRecord(state, id);
  if (!kept) return;
  std::string& row = state.m_rows[id - state.m_firstId];
  row = WriteJsonText(RowValue(*kept));
  if (state.m_pageReady) PostPageCall("updateResult", row);
  if (state.m_watcher) state.m_watcher->RowChanged(*kept);
}

RequestRecord RecordStartingNow(const FinderState& state, int search) {
  RequestRecord record;
  record.search = search ? search : static_cast<int>(state.m_searches.size());
  record.startClock = SteadyMs();
  record.startWall = WallMs();
  const size_t index = static_cast<size_t>(record.search) - 1;
  if (record.search > 0 && index < state.m_searches.size()) {
    record.startMs = record.startClock - state.m_searches[index].startClock;
  }
  return record;
}

void ReportPageLoad(FinderState& state, const std::string& url, const std::string& error) {
  if (state.m_searches.empty()) return;
  SearchEntry& search = state.m_searches.back();
  if (search.onLoadMs < 0) search.onLoadMs = SteadyMs() - search.startClock;
  const int current = static_cast<int>(state.m_searches.size());
  Json::UInt requests = 0;
  Json::UInt failed = 0;
  Json::UInt cancelled = 0;
  for (const RequestRecord& record : state.m_records) {
    if (record.search != current) continue;
    ++requests;
    // An error status stands, whatever came after it (WebKit cancels a script it will not
    // run).
    if (record.status >= 400 || (!record.error.empty() && !record.cancelled)) {
      ++failed;
    } else if (record.cancelled) {
      ++cancelled;
    }
  }
  Json::Value load(Json::objectValue);
  load["url"] = url;
  load["cancelled"] = cancelled;
  load["untrustedCertificate"] = state.m_untrustedOrigins.count(OriginOf(url)) > 0;
  load["ok"] = error.empty();
  load["error"] = error;
  load["requests"] = requests;
  load["failed"] = failed;
  load["loadMs"] = WholeMs(search.onLoadMs);
  TellPage("pageLoaded", load);
}

#include "finder/result_reporting.h"

#include "app/my_app.h"
#include "bridge/json_text.h"
#include "bridge/script_values.h"
#include "finder/filters.h"
#include "finder/size_format.h"
#include "finder/text_conversion.h"
#include "finder/url_names.h"

namespace {

FinderResult MakeResult(const std::u16string& url, const std::u16string& mimeType,
                        int64_t expectedLength) {
  FinderResult result;
  Utf16ToUtf8(url, result.url);
  if (!UrlFileNameUtf8(result.url, result.fileName)) result.fileName = "unknown";
  Utf16ToUtf8(mimeType, result.mimeType);
  // -1 means the server announced no length; any other value counts as its bit pattern.
  if (expectedLength == -1) {
    result.size = "unknown";
  } else {
    FormatSizeUtf8(result.size, static_cast<uint64_t>(expectedLength));
  }
  return result;
}

}  // namespace

int PostRow(const std::string& text) {
  if (!g_pApp) return 0;
  // One frame query per row: the global object comes from the context at hand.
  const js::JSGlobalContextRef context = g_pApp->m_localWindow.GetGlobalContext();
  const js::JSObjectRef global = context ? js::JSContextGetGlobalObject(context) : nullptr;
  if (!global) return 0;
  ScriptArguments arguments{context, {}};
  AppendStringArgument(text, arguments);
  const bool posted = PostScriptCall(context, global, "addResult", arguments);
  ClearArguments(arguments);
  return posted ? 1 : 0;
}

void ReplayRows(FinderState& state) {
  state.m_pageReady = true;
  for (const std::string& row : state.m_rows) PostRow(row);
}

std::string ResultJson(const FinderResult& result) {
  Json::Value row(Json::objectValue);
  row["fileName"] = result.fileName;
  row["mimeType"] = result.mimeType;
  row["size"] = result.size;
  row["url"] = result.url;
  return WriteJsonText(row);
}

int ReportResponse(FinderState& state, const std::u16string& url, uint32_t identifier,
                   const std::u16string& mimeType, int64_t expectedLength) {
  // Filtering first spares the result's texts for responses that do not pass.
  if (!MatchesFilter(state, url, mimeType)) return 0;
  const FinderResult result = MakeResult(url, mimeType, expectedLength);
  state.m_results[identifier] = result;
  state.m_rows.push_back(ResultJson(result));
  // A page that is not ready gets the row with the others once it is.
  return state.m_pageReady ? PostRow(state.m_rows.back()) : 0;
}

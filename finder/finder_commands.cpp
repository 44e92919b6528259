#include "finder/finder_commands.h"

#include "app/my_app.h"
#include "bridge/script_values.h"
#include "finder/filters.h"
#include "finder/preview.h"
#include "finder/records/clocks.h"
#include "finder/records/record_json.h"
#include "finder/result_reporting.h"
#include "finder/saves/file_saving.h"
#include "finder/saves/list_saving.h"
#include "finder/text/text_conversion.h"
#include "finder/text/url_names.h"
#include "finder/window_placement.h"

#include <cstring>

namespace {

const std::u16string kServiceUri = u"com.quillmoor.trawler";

// Parameters the commands can read members of: an object, or null (an object without
// members).
bool Readable(const Json::Value& params) { return params.isObject() || params.isNull(); }

// The string member "url" converted to UTF-16; false when it is missing, not a string or
// empty. A row's address cut for the page ("id" names the row) is its whole one.
bool UrlParameter(const Json::Value& params, const FinderState& state, std::u16string& url) {
  if (!Readable(params) || !params["url"].isString()) return false;
  const RequestRecord* row =
      params["id"].isUInt() ? FindRecord(state, params["id"].asUInt()) : nullptr;
  const std::string& given = params["url"].asString();
  const bool cut =
      row && row->url.size() > given.size() && row->url.compare(0, given.size(), given) == 0;
  return Utf8ToUtf16(cut ? row->url : given, url);
}

// Whether the address is a web or a file address, the only ones handed to the desktop: any
// other scheme (javascript:, an application's own) or a bare path could run something.
bool Openable(const std::u16string& url) {
  std::u16string scheme = url.substr(0, url.find(u':'));
  for (char16_t& c : scheme) c = c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
  return url.find(u':') != std::u16string::npos &&
         (scheme == u"http" || scheme == u"https" || scheme == u"file");
}

// Calls the page's updateInputUrl, if the page has one.
void UpdateInputUrl(CLocalWindow& window, const std::string& url) {
  ScriptFunctionRef function;
  ScriptArguments arguments{window.GetGlobalContext(), {}};
  if (!arguments.context) return;
  GetScriptFunction(arguments.context, js::JSContextGetGlobalObject(arguments.context), function,
                    "updateInputUrl");
  AppendStringArgument(url, arguments);
  js::JSValueRef ignored = nullptr;
  CallScriptFunction(function, arguments, ignored);
  ClearArguments(arguments);
}

// The browsing window with a web view, made when it has none; null when that fails.
CMyWindow* BrowsingWindow() {
  CMyWindow& window = g_pApp->m_myWindow;
  if (window.m_webView) return &window;
  if (!window.Create(u"Trawler", g_pApp->m_hInstance)) return nullptr;
  window.SetIcons();
  PlaceBeside(window.m_hWnd, g_pApp->m_localWindow.m_hWnd);
  return &window;
}

}  // namespace

int HandleFinderCall(const std::u16string& uri, const std::u16string& method,
                     const Json::Value& params, void*, Json::Value& returnValue) {
  int result = 0;
  if (uri == kServiceUri && g_pApp) {
    CLocalWindow& window = g_pApp->m_localWindow;
    if (method == u"start") {
      result = StartSearch(params, window);
    } else if (method == u"pause") {
      result = PauseSearch(window);
    } else if (method == u"stop") {
      result = StopSearch(window);
    } else if (method == u"open") {
      result = OpenUrl(params, window);
    } else if (method == u"copyURL") {
      result = CopyUrl(params, window);
    } else if (method == u"allowWindows") {
      result = AllowWindows(window);
    } else if (method == u"clear") {
      result = ClearResults(window);
    } else if (method == u"details") {
      result = RowDetails(params, window, returnValue);
    } else if (method == u"copyCurl") {
      result = CopyCurl(params, window);
    } else if (method == u"save") {
      result = RequestListSave(params, window.m_saves, window.m_hWnd);
    } else if (method == u"saveFile" || method == u"saveShown" || method == u"savePlaylist") {
      result = RequestFileSave(method, params, window, window.m_saves, window.m_hWnd, returnValue);
    } else if (method == u"cancelSave") {
      result = CancelSave(params, window.m_saves);
    } else if (method == u"preview") {
      result = RequestPreview(params, window, window.m_preview, returnValue);
    }
  }
  returnValue["returnValue"] = result;
  return result;
}

int StartSearch(const Json::Value& params, FinderState& state) {
  if (!Readable(params) || !g_pApp) return 0;
  const Json::Value& url = params["url"];
  const Json::Value& filterEnabled = params["filterEnabled"];
  const Json::Value& useFileExtFilter = params["useFileExtFilter"];
  if (!url.isString() || !filterEnabled.isBool() || !useFileExtFilter.isBool()) return 0;
  const Json::Value& filter =
      useFileExtFilter.asBool() ? params["fileExtFilter"] : params["mimeFilter"];
  if (!filter.isString()) return 0;

  state.m_filterEnabled = filterEnabled.asBool() ? 1 : 0;
  state.m_useFileExtFilter = useFileExtFilter.asBool() ? 1 : 0;
  if (state.m_useFileExtFilter) {
    ParseExtensionFilter(state, filter.asString());
  } else {
    SetMimeFilter(state, filter.asString());
  }

  CMyWindow* browsing = BrowsingWindow();
  if (!browsing) return 0;
  const std::string typed = url.asString();
  const std::string normalized = NormalizeUrlUtf8(typed.c_str());
  if (normalized != typed) UpdateInputUrl(g_pApp->m_localWindow, normalized);
  // The text as typed: the loader normalises it itself.
  if (!browsing->LoadUrlUtf8(typed.c_str())) return 0;
  ShowWindow(browsing->m_hWnd, SW_SHOW);
  UpdateWindow(browsing->m_hWnd);
  state.m_paused = 0;
  state.m_running = 1;
  state.m_searches.push_back({normalized, WallMs(), SteadyMs(), -1});
  state.m_windowsOpened = 0;
  state.m_windowsAllowed = kWindowsPerSearch;
  state.m_windowsBlocked = 0;
  return 1;
}

int PauseSearch(FinderState& state) {
  if (!state.m_running) return 1;
  state.m_paused = 1 - state.m_paused;
  if (state.m_paused) {
    state.m_unlisted = 0;
    return 1;
  }
  // The answer is the described one; how many responses came meanwhile is a notice.
  Json::Value resumed(Json::objectValue);
  resumed["unlisted"] = state.m_unlisted;
  TellPage("searchResumed", resumed);
  return 1;
}

int AllowWindows(FinderState& state) {
  state.m_windowsAllowed = state.m_windowsOpened + kWindowsPerSearch;
  return 1;
}

int StopSearch(FinderState& state) {
  if (state.m_running) {
    state.m_running = 0;
    state.m_paused = 0;
  }
  return 1;
}

int ClearResults(FinderState& state) {
  // The rows' identifiers go on from where they were. Swapped out, so the memory goes back
  // now.
  state.m_firstId += static_cast<uint32_t>(state.m_records.size());
  std::vector<RequestRecord>().swap(state.m_records);
  std::vector<std::string>().swap(state.m_rows);
  std::unordered_map<std::string, uint32_t>().swap(state.m_segmentOwners);
  std::unordered_map<std::string, std::string>().swap(state.m_seenDates);
  std::deque<uint32_t>().swap(state.m_keptPlaylists);
  state.m_keptSegments = 0;
  return 1;
}

int OpenUrl(const Json::Value& params, const FinderState& state) {
  std::u16string url;
  if (!UrlParameter(params, state, url)) return 0;
  if (!Openable(url)) {
    OutputDebugStringW(u"trawler: only web and file addresses are opened\n");
    return 0;
  }
  const HINSTANCE result = ShellExecuteW(nullptr, u"open", url.c_str(), nullptr, nullptr, SW_SHOW);
  return reinterpret_cast<uintptr_t>(result) > 32 ? 1 : 0;
}

int CopyUrl(const Json::Value& params, CLocalWindow& window) {
  std::u16string url;
  if (!UrlParameter(params, window, url)) return 0;
  return PutOnClipboard(window.m_hWnd, url) ? 1 : 0;
}

bool PutOnClipboard(HWND owner, const std::u16string& text) {
  const size_t bytes = (text.size() + 1) * sizeof(WCHAR);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!block) return false;
  void* memory = GlobalLock(block);
  if (!memory) {
    GlobalFree(block);
    return false;
  }
  // The terminating zero comes from the zero fill.
  std::memcpy(memory, text.data(), text.size() * sizeof(WCHAR));
  GlobalUnlock(block);
  if (!OpenClipboard(owner)) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the block once it took it; otherwise it is still ours to free.
  const bool handedOver = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  if (!handedOver) GlobalFree(block);
  CloseClipboard();
  return handedOver;
}

int RowDetails(const Json::Value& params, FinderState& state, Json::Value& answer) {
  if (!Readable(params) || !params["id"].isUInt()) return 0;
  const RequestRecord* record = FindRecord(state, params["id"].asUInt());
  if (!record) return 0;
  answer["details"] = DetailsValue(*record);
  return 1;
}

int CopyCurl(const Json::Value& params, CLocalWindow& window) {
  if (!Readable(params) || !params["id"].isUInt() || !g_pApp) return 0;
  const RequestRecord* record = FindRecord(window, params["id"].asUInt());
  return record && window.m_curlCopier.Request(*record, g_pApp->m_myWindow.m_webView) ? 1 : 0;
}

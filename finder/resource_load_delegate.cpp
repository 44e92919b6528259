#include "finder/resource_load_delegate.h"

#include "app/my_app.h"
#include "finder/filters.h"
#include "finder/playlist_rows.h"
#include "finder/records/cache_source.h"
#include "finder/records/clocks.h"
#include "finder/request_cookies.h"
#include "finder/result_reporting.h"
#include "finder/text/text_conversion.h"
#include "finder/text/web_address.h"
#include "webview/com_ptr.h"

namespace {

constexpr size_t kMostTracked = 4096;
constexpr size_t kMostRedirects = 20;

template <typename Object>
std::string TextOf(Object* object, HRESULT (Object::*operation)(BSTR*)) {
  ScopedBstr text;
  if (!object || FAILED((object->*operation)(text.Receive()))) return std::string();
  return Utf8Of(text.Get());
}

// The running search, when responses are being listed (running and not paused).
FinderState* Listing() {
  if (!g_pApp) return nullptr;
  FinderState& state = g_pApp->m_localWindow;
  return state.m_running && !state.m_paused ? &state : nullptr;
}

// A record of a window of the search, starting now, made from the page at `initiator`.
RequestRecord Started(const FinderState& state, const CResourceLoadDelegate& delegate,
                      std::string initiator) {
  RequestRecord record = RecordStartingNow(state, delegate.m_search);
  record.window = delegate.m_window;
  record.initiator = std::move(initiator);
  return record;
}

void ReadRequest(IWebURLRequest* request, std::string& url, std::string& method,
                 HeaderFields& headers) {
  url = TextOf(request, &IWebURLRequest::URL);
  const std::string asked = TextOf(request, &IWebURLRequest::HTTPMethod);
  method = asked.empty() ? "GET" : asked;
  headers = ParseHeaderLines(TextOf(request, &IWebURLRequest::allHTTPHeaderFields));
}

// The response's status, its text and headers, and whether the page's memory cache gave
// it, when it has an HTTP facet.
void ReadHttp(IWebURLResponse* response, RequestRecord& record, bool& fromMemory) {
  fromMemory = false;
  ComPtr<IWebHTTPURLResponse> http;
  if (FAILED(response->QueryInterface(IID_IWebHTTPURLResponse, http.ReceiveVoid())) || !http) {
    return;
  }
  if (FAILED(http->statusCode(&record.status))) record.status = 0;
  ScopedBstr phrase;
  if (SUCCEEDED(http->localizedStringForStatusCode(record.status, phrase.Receive()))) {
    record.statusText = Utf8Of(phrase.Get());
  }
  record.responseHeaders =
      ParseHeaderLines(TextOf(http.Get(), &IWebHTTPURLResponse::allHeaderFields));
  int source = WebCacheSourceNetworkLayer;
  fromMemory = SUCCEEDED(http->cacheSource(&source)) && source == WebCacheSourceMemory;
}

RedirectHop HopOf(const RequestRecord& record, IWebURLResponse* redirectResponse) {
  RedirectHop hop;
  hop.url = record.url;
  hop.method = record.method;
  hop.requestHeaders = record.requestHeaders;
  RequestRecord answered;
  bool fromMemory = false;
  ReadHttp(redirectResponse, answered, fromMemory);
  hop.status = answered.status;
  hop.statusText = answered.statusText;
  hop.responseHeaders = std::move(answered.responseHeaders);
  hop.location = HeaderValue(hop.responseHeaders, "Location");
  const RedirectHop* last = record.redirects.empty() ? nullptr : &record.redirects.back();
  hop.startMs = last ? last->startMs + last->durationMs : record.startMs;
  hop.durationMs = SteadyMs() - record.startClock + record.startMs - hop.startMs;
  return hop;
}

template <typename Map>
void Bound(Map& map) {
  if (map.size() > kMostTracked) map.erase(map.begin());
}

constexpr size_t kMostSeenDates = 4096;

// The Date of the last response to the address this list saw, or empty.
std::string SeenDate(const FinderState& state, const std::string& url) {
  const auto seen = state.m_seenDates.find(url);
  return seen == state.m_seenDates.end() ? std::string() : seen->second;
}

void NoteDate(FinderState& state, const std::string& url, const std::string& date) {
  if (date.empty()) return;
  if (state.m_seenDates.size() >= kMostSeenDates) state.m_seenDates.clear();
  state.m_seenDates[url] = date;
}

// Counts a response that came while the search was paused and would have been listed.
void CountUnlisted(FinderState& state, IWebURLResponse* response) {
  ScopedBstr url;
  ScopedBstr mimeType;
  if (!response || FAILED(response->URL(url.Receive())) || !url.Get() ||
      FAILED(response->MIMEType(mimeType.Receive())) || !mimeType.Get()) {
    return;
  }
  if (MatchesFilter(state, url.Get(), mimeType.Get())) ++state.m_unlisted;
}

}  // namespace

void CResourceLoadDelegate::AskCookies(IWebView* view, unsigned long identifier,
                                       RequestRecord& record) {
  record.cookiesKnown = false;
  if (g_pApp && !g_pApp->m_localWindow.m_readsCookies) return;
  const uint32_t asking = ++m_askings[identifier].count;
  Bound(m_askings);
  CRequestCookies::Ask(view, record.url, CookiePageOf(record), this, identifier, asking);
}

void CResourceLoadDelegate::CookiesHeard(unsigned long identifier, uint32_t asking,
                                         const std::string& lines) {
  const auto asked = m_askings.find(identifier);
  if (asked == m_askings.end() || asked->second.count != asking || !g_pApp) return;
  const auto pending = m_pending.find(identifier);
  // A reported row is found by its number: the list may have gone on (or been cleared)
  // since it was asked for.
  RequestRecord* record = pending != m_pending.end()
                              ? &pending->second
                              : FindRecord(g_pApp->m_localWindow, asked->second.row);
  if (!record) return;
  record->cookieLines = lines;
  record->cookiesKnown = true;
}

HRESULT CResourceLoadDelegate::identifierForInitialRequest(IWebView* webView,
                                                           IWebURLRequest* request, IWebDataSource*,
                                                           unsigned long identifier) {
  FinderState* state = Listing();
  if (!state) return S_OK;
  if (!request) return E_POINTER;
  RequestRecord record =
      Started(*state, *this, webView ? TextOf(webView, &IWebView::mainFrameURL) : "");
  ReadRequest(request, record.url, record.method, record.requestHeaders);
  m_pending[identifier] = std::move(record);
  Bound(m_pending);
  m_inFlight.insert(identifier);
  Bound(m_inFlight);
  m_lastActivity = SteadyMs();
  return S_OK;
}

HRESULT CResourceLoadDelegate::willSendRequest(IWebView* webView, unsigned long identifier,
                                               IWebURLRequest* request,
                                               IWebURLResponse* redirectResponse, IWebDataSource*,
                                               IWebURLRequest** newRequest) {
  // The request goes as it is.
  if (newRequest) {
    *newRequest = request;
    if (request) request->AddRef();
  }
  const auto found = m_pending.find(identifier);
  if (!request || found == m_pending.end()) return S_OK;
  RequestRecord& record = found->second;
  if (redirectResponse && record.redirects.size() < kMostRedirects) {
    record.redirects.push_back(HopOf(record, redirectResponse));
  }
  // The request as sent: after a redirect, the next address; else perhaps more headers.
  // The cookies it carries are asked for now: the network layer has what the page set
  // before it, and its answer has not come yet.
  ReadRequest(request, record.url, record.method, record.requestHeaders);
  AskCookies(webView, identifier, record);
  return S_OK;
}

HRESULT CResourceLoadDelegate::didReceiveResponse(IWebView* webView, unsigned long identifier,
                                                  IWebURLResponse* response, IWebDataSource*) {
  FinderState* state = Listing();
  // While idle a response costs nothing more than this test; while paused, a filter test.
  if (!state) {
    if (g_pApp && g_pApp->m_localWindow.m_paused) CountUnlisted(g_pApp->m_localWindow, response);
    return S_OK;
  }
  if (!response) return E_POINTER;
  const auto found = m_pending.find(identifier);
  RequestRecord record = found == m_pending.end()
                             ? Started(*state, *this, TextOf(webView, &IWebView::mainFrameURL))
                             : std::move(found->second);
  if (found != m_pending.end()) m_pending.erase(found);
  ScopedBstr url;
  HRESULT result = response->URL(url.Receive());
  if (FAILED(result) || !url.Get()) return result;
  ScopedBstr mimeType;
  result = response->MIMEType(mimeType.Receive());
  if (FAILED(result) || !mimeType.Get()) return result;
  // Filtering first, on the engine's own texts, spares the row's work for responses that do
  // not pass.
  if (!MatchesFilter(*state, url.Get(), mimeType.Get())) return result;
  long long length = 0;
  result = response->expectedContentLength(&length);
  record.url = Utf8Of(url.Get());
  record.mimeType = Utf8Of(mimeType.Get());
  record.announcedLength = FAILED(result) ? 0 : length;
  bool fromMemory = false;
  ReadHttp(response, record, fromMemory);
  record.cache = CacheSourceOf(record.status, fromMemory, record.responseHeaders, record.startWall,
                               SeenDate(*state, record.url));
  NoteDate(*state, record.url, HeaderValue(record.responseHeaders, "Date"));
  record.untrustedCertificate = state->m_untrustedOrigins.count(OriginOf(record.url)) > 0;
  record.responseMs = SteadyMs() - record.startClock;
  record.identifier = identifier;
  const uint32_t id = KeepRequest(*state, std::move(record));
  m_reported[identifier] = id;
  Bound(m_reported);
  if (const auto asked = m_askings.find(identifier); asked != m_askings.end()) {
    asked->second.row = id;
  }
  if (const RequestRecord* kept = FindRecord(*state, id))
    ReadPlaylistOf(webView, identifier, *kept);
  return result;
}

HRESULT CResourceLoadDelegate::didReceiveContentLength(IWebView*, unsigned long identifier,
                                                       UINT length, IWebDataSource*) {
  const auto found = m_reported.find(identifier);
  if (found == m_reported.end() || !g_pApp) return S_OK;
  if (RequestRecord* record = FindRecord(g_pApp->m_localWindow, found->second)) {
    record->received = std::max<int64_t>(record->received, 0) + length;
  }
  return S_OK;
}

HRESULT CResourceLoadDelegate::didFinishLoadingFromDataSource(IWebView*, unsigned long identifier,
                                                              IWebDataSource*) {
  End(identifier, std::string(), false);
  return S_OK;
}

HRESULT CResourceLoadDelegate::didFailLoadingWithError(IWebView*, unsigned long identifier,
                                                       IWebError* error, IWebDataSource*) {
  int code = 0;
  const bool cancelled = error && SUCCEEDED(error->code(&code)) && code == WebURLErrorCancelled;
  std::string text = TextOf(error, &IWebError::localizedDescription);
  End(identifier, text.empty() ? "The load failed" : text, cancelled);
  return S_OK;
}

void CResourceLoadDelegate::End(unsigned long identifier, const std::string& error,
                                bool cancelled) {
  if (m_inFlight.erase(identifier)) m_lastActivity = SteadyMs();
  if (!g_pApp) return;
  FinderState& state = g_pApp->m_localWindow;
  const auto pending = m_pending.find(identifier);
  if (pending != m_pending.end()) {
    // Failed or cancelled before any response: a row of its own while responses are listed.
    RequestRecord record = std::move(pending->second);
    m_pending.erase(pending);
    if (error.empty() || !Listing()) return;
    record.durationMs = SteadyMs() - record.startClock;
    record.finished = true;
    record.cancelled = cancelled;
    if (!cancelled) record.error = error;
    const uint32_t id = ReportFailedRequest(state, std::move(record));
    // Cookies asked for it may still come: they find the row by its number.
    if (const auto asked = m_askings.find(identifier); asked != m_askings.end()) {
      asked->second.row = id;
    }
    return;
  }
  const auto reported = m_reported.find(identifier);
  if (reported == m_reported.end()) return;
  RequestRecord* kept = FindRecord(state, reported->second);
  m_reported.erase(reported);
  if (!kept) return;
  kept->durationMs = SteadyMs() - kept->startClock;
  kept->finished = true;
  kept->cancelled = cancelled;
  kept->error = cancelled ? std::string() : error;
  UpdateReported(state, kept->id);
}

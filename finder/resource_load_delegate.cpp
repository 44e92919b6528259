#include "finder/resource_load_delegate.h"

#include "app/my_app.h"
#include "finder/filters.h"
#include "finder/playlist_rows.h"
#include "finder/records/clocks.h"
#include "finder/result_reporting.h"
#include "finder/text/text_conversion.h"
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

// A record of the running search's window, starting now.
RequestRecord Started(const FinderState& state, int window) {
  RequestRecord record;
  record.window = window;
  record.search = static_cast<int>(state.m_searches.size());
  record.startClock = SteadyMs();
  const double searchClock =
      state.m_searches.empty() ? record.startClock : state.m_searches.back().startClock;
  record.startMs = record.startClock - searchClock;
  return record;
}

void ReadRequest(IWebURLRequest* request, std::string& url, std::string& method,
                 HeaderFields& headers) {
  url = TextOf(request, &IWebURLRequest::URL);
  const std::string asked = TextOf(request, &IWebURLRequest::HTTPMethod);
  method = asked.empty() ? "GET" : asked;
  headers = ParseHeaderLines(TextOf(request, &IWebURLRequest::allHTTPHeaderFields));
}

// The response's status, its text and headers, when it has an HTTP facet.
void ReadHttp(IWebURLResponse* response, int& status, std::string& text, HeaderFields& headers) {
  ComPtr<IWebHTTPURLResponse> http;
  if (FAILED(response->QueryInterface(IID_IWebHTTPURLResponse, http.ReceiveVoid())) || !http) {
    return;
  }
  if (FAILED(http->statusCode(&status))) status = 0;
  ScopedBstr phrase;
  if (SUCCEEDED(http->localizedStringForStatusCode(status, phrase.Receive())))
    text = Utf8Of(phrase.Get());
  headers = ParseHeaderLines(TextOf(http.Get(), &IWebHTTPURLResponse::allHeaderFields));
}

template <typename Map>
void Bound(Map& map) {
  if (map.size() > kMostTracked) map.erase(map.begin());
}

}  // namespace

HRESULT CResourceLoadDelegate::identifierForInitialRequest(IWebView*, IWebURLRequest* request,
                                                           IWebDataSource*,
                                                           unsigned long identifier) {
  FinderState* state = Listing();
  if (!state) return S_OK;
  if (!request) return E_POINTER;
  RequestRecord record = Started(*state, m_window);
  ReadRequest(request, record.url, record.method, record.requestHeaders);
  m_pending[identifier] = std::move(record);
  Bound(m_pending);
  return S_OK;
}

HRESULT CResourceLoadDelegate::willSendRequest(IWebView*, unsigned long identifier,
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
    RedirectHop hop;
    hop.url = record.url;
    hop.method = record.method;
    hop.requestHeaders = record.requestHeaders;
    ReadHttp(redirectResponse, hop.status, hop.statusText, hop.responseHeaders);
    hop.location = HeaderValue(hop.responseHeaders, "Location");
    const RedirectHop* last = record.redirects.empty() ? nullptr : &record.redirects.back();
    hop.startMs = last ? last->startMs + last->durationMs : record.startMs;
    hop.durationMs = SteadyMs() - record.startClock + record.startMs - hop.startMs;
    record.redirects.push_back(std::move(hop));
  }
  // The request as sent: after a redirect, the next address; else perhaps more headers.
  ReadRequest(request, record.url, record.method, record.requestHeaders);
  return S_OK;
}

HRESULT CResourceLoadDelegate::didReceiveResponse(IWebView* webView, unsigned long identifier,
                                                  IWebURLResponse* response, IWebDataSource*) {
  FinderState* state = Listing();
  // While idle or paused a response costs nothing more than this test (and a count).
  if (!state) {
    if (g_pApp && g_pApp->m_localWindow.m_paused) ++g_pApp->m_localWindow.m_unlisted;
    return S_OK;
  }
  if (!response) return E_POINTER;
  const auto found = m_pending.find(identifier);
  RequestRecord record =
      found == m_pending.end() ? Started(*state, m_window) : std::move(found->second);
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
  ReadHttp(response, record.status, record.statusText, record.responseHeaders);
  record.fromCache = record.status == 304;
  record.responseMs = SteadyMs() - record.startClock;
  const uint32_t id = KeepRequest(*state, std::move(record));
  m_reported[identifier] = id;
  Bound(m_reported);
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
  End(identifier, std::string());
  return S_OK;
}

HRESULT CResourceLoadDelegate::didFailLoadingWithError(IWebView*, unsigned long identifier,
                                                       IWebError* error, IWebDataSource*) {
  std::string text = TextOf(error, &IWebError::localizedDescription);
  End(identifier, text.empty() ? "The load failed" : text);
  return S_OK;
}

void CResourceLoadDelegate::End(unsigned long identifier, const std::string& error) {
  if (!g_pApp) return;
  FinderState& state = g_pApp->m_localWindow;
  const auto pending = m_pending.find(identifier);
  if (pending != m_pending.end()) {
    // Failed before any response: a row of its own while responses are listed.
    RequestRecord record = std::move(pending->second);
    m_pending.erase(pending);
    if (error.empty() || !Listing()) return;
    record.durationMs = SteadyMs() - record.startClock;
    record.finished = true;
    record.error = error;
    ReportFailedRequest(state, std::move(record));
    return;
  }
  const auto reported = m_reported.find(identifier);
  if (reported == m_reported.end()) return;
  RequestRecord* kept = FindRecord(state, reported->second);
  m_reported.erase(reported);
  if (!kept) return;
  kept->durationMs = SteadyMs() - kept->startClock;
  kept->finished = true;
  kept->error = error;
  UpdateReported(state, kept->id);
}

#include "finder/saves/fetch_context.h"

namespace {

// Whether the row's kind of request carries cookies to other origins: a fetch() or an
// XMLHttpRequest does not, by default.
bool CrossOriginCookies(const RequestRecord& row) {
  return HeaderValue(row.requestHeaders, "Sec-Fetch-Dest") != "empty";
}

// The document a request of the row stands for: the row itself when it is a window's
// document, else the page it was made from.
std::string DocumentOf(const RequestRecord& row) {
  const std::string page = CookiePageOf(row);
  return page.empty() ? row.url : page;
}

// The referrer policy of the row's document in its window and search.
ReferrerPolicy PolicyOf(const FinderState& state, const RequestRecord& row,
                        const std::string& document) {
  ReferrerPolicy declared = kDefaultReferrerPolicy;
  std::vector<std::pair<std::string, std::string>> sent;
  for (const RequestRecord& record : state.m_records) {
    if (record.search != row.search || record.window != row.window) continue;
    if (record.url == document && CookiePageOf(record).empty()) {
      declared =
          ParseReferrerPolicy(HeaderValue(record.responseHeaders, "Referrer-Policy"), declared);
    } else if (record.initiator == document && !CookiePageOf(record).empty()) {
      sent.emplace_back(record.url, HeaderValue(record.requestHeaders, "Referer"));
    }
  }
  return PolicyOfRequests(declared, document, sent);
}

}  // namespace

FetchRequest RowFetch(const FinderState& state, const RequestRecord& row) {
  FetchRequest request;
  request.url = row.url;
  request.referer = HeaderValue(row.requestHeaders, "Referer");
  request.document = row.initiator;
  request.policy = PolicyOf(state, row, row.initiator);
  request.crossOriginCookies = CrossOriginCookies(row);
  request.cookiePage = CookiePageOf(row);
  return request;
}

FetchRequest LedFetch(const FinderState& state, const RequestRecord& row, const std::string& url) {
  FetchRequest request;
  request.url = url;
  request.document = DocumentOf(row);
  request.policy = PolicyOf(state, row, request.document);
  request.referer = ReferrerFor(request.policy, request.document, url);
  request.crossOriginCookies = CrossOriginCookies(row);
  request.cookiePage = request.document;
  return request;
}

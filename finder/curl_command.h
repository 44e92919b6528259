#pragma once

// A request as a cURL command for a POSIX shell, which fetches what the page fetched: the
// method, the URL, the request's Referer and User-Agent, and the cookies the browsing
// session holds for the URL. Every value goes in single quotes.

#include "finder/request_record.h"
#include "webview/delegate_base.h"

#include <deque>
#include <string>

std::string CurlCommand(const RequestRecord& record, const std::string& cookies);
// The text in single quotes, each quote in it written as '\''.
std::string ShellQuoted(const std::string& text);

// Asks the browsing session for a row's cookies and, once they come, puts the row's cURL
// command on the clipboard and tells the UI page's curlCopied {ok}. A member of the UI
// window.
class CCurlCopier : public CDelegateBase<IWebCookiesListener> {
 public:
  // False when there is no browsing view to ask.
  bool Request(const RequestRecord& record, IWebView* view);
  HRESULT didReceiveCookies(BSTR url, BSTR cookieHeader) override;

 private:
  std::deque<RequestRecord> m_waiting;
};

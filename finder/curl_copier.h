#pragma once

// Copies a row as a cURL command (finder/records/curl_command.h) with the browsing
// session's cookies for it.

#include "finder/records/request_record.h"
#include "webview/delegate_base.h"
#include "webview/webkit_window.h"

#include <deque>

// Asks the browsing session for a row's cookies and, once they come, puts the row's cURL
// command on the clipboard, owned by the window it was made for, and tells the UI page's
// curlCopied {ok}. A member of the UI window, which it is made for.
class CCurlCopier : public CDelegateBase<IWebCookiesListener> {
 public:
  explicit CCurlCopier(const CWebKitWindow& owner) : m_owner(owner) {}
  // False when there is no browsing view to ask.
  bool Request(const RequestRecord& record, IWebView* view);
  HRESULT didReceiveCookies(BSTR url, BSTR cookieHeader, BSTR cookieLines) override;

 private:
  const CWebKitWindow& m_owner;
  std::deque<RequestRecord> m_waiting;
};

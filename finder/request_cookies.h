#pragma once

// Asks the browsing session which cookies a request carries when it is made, for its record
// (HAR's cookies, the Cookie header the engine does not show): the answer comes later, and
// goes to the delegate that asked.

#include "webview/delegate_base.h"

#include <string>

class CResourceLoadDelegate;

class CRequestCookies : public CCountedListener<IWebCookiesListener> {
 public:
  // Asks the view's session for the cookies of a request of `url` made from `page` (empty:
  // the page itself); the delegate hears them under the identifier and asking.
  static void Ask(IWebView* view, const std::string& url, const std::string& page,
                  CResourceLoadDelegate* delegate, unsigned long identifier, uint32_t asking);
  HRESULT didReceiveCookies(BSTR url, BSTR cookieHeader, BSTR cookieLines) override;

 private:
  CRequestCookies(CResourceLoadDelegate* delegate, unsigned long identifier, uint32_t asking)
      : m_delegate(delegate), m_identifier(identifier), m_asking(asking) {}

  // The delegates live as long as their windows' objects, which the application keeps for
  // the whole run.
  CResourceLoadDelegate* m_delegate;
  unsigned long m_identifier;
  uint32_t m_asking;
};

#include "finder/request_cookies.h"

#include "finder/resource_load_delegate.h"
#include "finder/saves/session_fetch.h"
#include "finder/text/text_conversion.h"

void CRequestCookies::Ask(IWebView* view, const std::string& url, const std::string& page,
                          CResourceLoadDelegate* delegate, unsigned long identifier,
                          uint32_t asking) {
  ComPtr<IWebViewPrivate> session;
  if (!view || FAILED(view->QueryInterface(IID_IWebViewPrivate, session.ReceiveVoid())) ||
      !session) {
    return;
  }
  const ComPtr<IWebMutableURLRequest> request = SessionRequest(url, page, {});
  if (!request) return;
  auto listener = ComPtr<CRequestCookies>::Adopt(new CRequestCookies(delegate, identifier, asking));
  session->cookiesForRequest(request.Get(), listener.Get());
}

HRESULT CRequestCookies::didReceiveCookies(BSTR, BSTR, BSTR cookieLines) {
  m_delegate->CookiesHeard(m_identifier, m_asking, Utf8Of(cookieLines));
  return S_OK;
}

#include "finder/curl_copier.h"

#include "finder/finder_commands.h"
#include "finder/records/curl_command.h"
#include "finder/result_reporting.h"
#include "finder/saves/session_fetch.h"
#include "finder/text/text_conversion.h"
#include "webview/com_ptr.h"

#include <algorithm>

namespace {

constexpr size_t kMostWaiting = 64;

}  // namespace

bool CCurlCopier::Request(const RequestRecord& record, IWebView* view) {
  ComPtr<IWebViewPrivate> session;
  if (!view || FAILED(view->QueryInterface(IID_IWebViewPrivate, session.ReceiveVoid())) ||
      !session) {
    return false;
  }
  const ComPtr<IWebMutableURLRequest> request =
      SessionRequest(record.url, CookiePageOf(record), {});
  if (!request) return false;
  if (m_waiting.size() >= kMostWaiting) m_waiting.pop_front();
  m_waiting.push_back(record);
  if (SUCCEEDED(session->cookiesForRequest(request.Get(), this))) return true;
  m_waiting.pop_back();
  return false;
}

HRESULT CCurlCopier::didReceiveCookies(BSTR url, BSTR cookieHeader, BSTR) {
  const std::string address = Utf8Of(url);
  const auto found =
      std::find_if(m_waiting.begin(), m_waiting.end(),
                   [&](const RequestRecord& record) { return record.url == address; });
  if (found == m_waiting.end()) return S_OK;
  const std::u16string command = Utf16Of(CurlCommand(*found, Utf8Of(cookieHeader)));
  m_waiting.erase(found);
  Json::Value outcome(Json::objectValue);
  outcome["ok"] = PutOnClipboard(m_owner.m_hWnd, command);
  TellPage("curlCopied", outcome);
  return S_OK;
}

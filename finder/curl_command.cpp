#include "finder/curl_command.h"

#include "app/my_app.h"
#include "bridge/json_text.h"
#include "finder/finder_commands.h"
#include "finder/result_reporting.h"
#include "finder/text_conversion.h"
#include "webview/com_ptr.h"

#include <algorithm>

namespace {

constexpr size_t kMostWaiting = 64;

void Tell(bool ok) {
  Json::Value outcome(Json::objectValue);
  outcome["ok"] = ok;
  PostRow(WriteJsonText(outcome), "curlCopied");
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string CurlCommand(const RequestRecord& record, const std::string& cookies) {
  std::string command = "curl " + ShellQuoted(record.url);
  if (record.method != "GET") command += " -X " + ShellQuoted(record.method);
  for (const char* name : {"Referer", "User-Agent"}) {
    const std::string value = HeaderValue(record.requestHeaders, name);
    if (!value.empty()) command += " -H " + ShellQuoted(std::string(name) + ": " + value);
  }
  if (!cookies.empty()) command += " -H " + ShellQuoted("Cookie: " + cookies);
  return command;
}

bool CCurlCopier::Request(const RequestRecord& record, IWebView* view) {
  ComPtr<IWebViewPrivate> session;
  if (!view || FAILED(view->QueryInterface(IID_IWebViewPrivate, session.ReceiveVoid())) ||
      !session) {
    return false;
  }
  ScopedBstr address(Utf16Of(record.url));
  if (m_waiting.size() >= kMostWaiting) m_waiting.pop_front();
  m_waiting.push_back(record);
  if (SUCCEEDED(session->cookiesForURL(address.Get(), this))) return true;
  m_waiting.pop_back();
  return false;
}

HRESULT CCurlCopier::didReceiveCookies(BSTR url, BSTR cookieHeader) {
  const std::string address = url ? Utf8Of(url) : "";
  const std::string cookies = cookieHeader ? Utf8Of(cookieHeader) : "";
  const auto found =
      std::find_if(m_waiting.begin(), m_waiting.end(),
                   [&](const RequestRecord& record) { return record.url == address; });
  if (found == m_waiting.end() || !g_pApp) return S_OK;
  const std::u16string command = Utf16Of(CurlCommand(*found, cookies));
  m_waiting.erase(found);
  Tell(PutOnClipboard(g_pApp->m_localWindow.m_hWnd, command));
  return S_OK;
}

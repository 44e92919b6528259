#include "finder/resource_load_delegate.h"

#include "app/my_app.h"
#include "finder/result_reporting.h"
#include "webview/com_ptr.h"

namespace {

// A text the response hands out, up to its first NUL.
std::u16string TextOf(const ScopedBstr& text) { return text.Get() ? text.Get() : u""; }

}  // namespace

HRESULT CResourceLoadDelegate::didReceiveResponse(IWebView*, unsigned long identifier,
                                                  IWebURLResponse* response, IWebDataSource*) {
  if (!g_pApp) return S_OK;
  FinderState& state = g_pApp->m_localWindow;
  // While idle or paused a response costs nothing more than this test.
  if (!state.m_running || state.m_paused) return S_OK;
  if (!response) return E_POINTER;
  ScopedBstr url;
  HRESULT result = response->URL(url.Receive());
  if (FAILED(result) || !url.Get()) return result;
  ScopedBstr mimeType;
  result = response->MIMEType(mimeType.Receive());
  if (FAILED(result) || !mimeType.Get()) return result;
  long long length = 0;
  result = response->expectedContentLength(&length);
  if (FAILED(result)) length = 0;
  ReportResponse(state, TextOf(url), static_cast<uint32_t>(identifier), TextOf(mimeType), length);
  return result;
}

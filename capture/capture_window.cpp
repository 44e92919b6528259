#include "capture/capture_window.h"

#include "capture/capture_run.h"
#include "finder/text/text_conversion.h"
#include "webview/com_ptr.h"

namespace {

constexpr UINT_PTR kClockTimer = 1;

}  // namespace

void CCaptureWindow::OnLoadFinished(BSTR url) {
  CMyWindow::OnLoadFinished(url);
  m_run.PageLoaded(m_page, Utf8Of(url));
}

void CCaptureWindow::OnLoadFailed(IWebError* error, IWebFrame* frame) {
  CMyWindow::OnLoadFailed(error, frame);
  Failed(error);
}

void CCaptureWindow::OnProvisionalLoadFailed(IWebError* error, IWebFrame* frame) {
  CMyWindow::OnProvisionalLoadFailed(error, frame);
  Failed(error);
}

void CCaptureWindow::Failed(IWebError* error) {
  int code = 0;
  // A load the page itself replaced (a redirect by script, a new address) is no outcome.
  if (error && SUCCEEDED(error->code(&code)) && code == WebURLErrorCancelled) return;
  ScopedBstr text;
  if (error) error->localizedDescription(text.Receive());
  const std::string reason = Utf8Of(text.Get());
  m_run.PageFailed(m_page, reason.empty() ? "the page could not be loaded" : reason);
}

bool CCaptureClock::Start(HINSTANCE instance, UINT periodMs) {
  m_hInstance = instance;
  m_hWnd = CreateWindowExW(0, kWebKitWindowClass, u"trawler-capture", WS_OVERLAPPEDWINDOW, 0, 0, 1,
                           1, nullptr, nullptr, instance, this);
  return m_hWnd && SetTimer(m_hWnd, kClockTimer, periodMs, nullptr) == kClockTimer;
}

void CCaptureClock::OnTimer(UINT_PTR timerId) {
  if (timerId == kClockTimer) m_run.Tick();
  if (timerId == kSavesTimer) m_run.TickSaves();
}

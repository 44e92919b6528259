#include "finder/local_window.h"

#include "finder/finder_commands.h"
#include "finder/result_reporting.h"
#include "finder/saving.h"
#include "webview/com_ptr.h"

void CLocalWindow::OnDropFiles(HDROP, const std::vector<std::u16string>& paths) {
  for (const std::u16string& path : paths) {
    OutputDebugStringW(path.c_str());
    OutputDebugStringW(u"\n");
  }
}

void CLocalWindow::OnClose() { CloseAllWindows(); }

bool CLocalWindow::OnWindowObjectCleared(js::JSContextRef context, js::JSObjectRef windowObject,
                                         IWebFrame* frame) {
  ComPtr<IWebFrame> mainFrame;
  if (m_webView) m_webView->mainFrame(mainFrame.Receive());
  if (!frame || frame == mainFrame.Get()) m_pageReady = false;
  m_service.m_handler = HandleFinderCall;
  return m_service.Install(this, context, windowObject, this);
}

void CLocalWindow::OnLoadFinished(BSTR) {
  if (!m_pageReady) ReplayRows(*this);
}

void CLocalWindow::OnTimer(UINT_PTR timerId) {
  if (timerId == kSaveTimer) RunPendingSave(*this, m_hWnd);
}

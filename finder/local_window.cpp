#include "finder/local_window.h"

#include "app/my_app.h"
#include "finder/finder_commands.h"
#include "finder/result_reporting.h"
#include "finder/saves/file_saving.h"
#include "finder/saves/job_runner.h"
#include "finder/saves/list_saving.h"
#include "webview/com_ptr.h"

void CLocalWindow::OnDropFiles(HDROP, const std::vector<std::u16string>& paths) {
  for (const std::u16string& path : paths) {
    OutputDebugStringW(path.c_str());
    OutputDebugStringW(u"\n");
  }
}

bool CLocalWindow::CanClose() {
  if (m_saves.jobs.empty()) return true;
  const std::u16string question = m_saves.jobs.size() == 1
                                      ? u"A save is still running. Stop it and close Trawler?"
                                      : u"Saves are still running. Stop them and close Trawler?";
  if (MessageBoxW(m_hWnd, question.c_str(), u"Trawler", MB_YESNO) != IDYES) return false;
  // Their partial files go with them.
  CancelAllJobs(m_saves);
  return true;
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
  if (m_pageReady) return;
  ReplayRows(*this);
  m_saves.clock = m_hWnd;
  RetellSaves(m_saves);
}

void CLocalWindow::OnTimer(UINT_PTR timerId) {
  if (timerId == kSavesTimer) return TickSaves(m_saves);
  if (timerId != kSaveTimer || !m_saves.pending) return;
  const PendingSave save = std::move(*m_saves.pending);
  m_saves.pending.reset();
  if (const auto* list = std::get_if<ListSave>(&save))
    return RunListSave(*list, *this, m_saves, m_hWnd);
  IWebView* view = g_pApp ? g_pApp->m_myWindow.m_webView : nullptr;
  RunFileSave(std::get<FileSave>(save), *this, m_saves, m_hWnd, view);
}

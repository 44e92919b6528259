#include "finder/local_window.h"

#include "finder/finder_commands.h"

void CLocalWindow::OnDropFiles(HDROP, const std::vector<std::u16string>& paths) {
  for (const std::u16string& path : paths) {
    OutputDebugStringW(path.c_str());
    OutputDebugStringW(u"\n");
  }
}

void CLocalWindow::OnClose() { CloseAllWindows(); }

bool CLocalWindow::OnWindowObjectCleared(js::JSContextRef context, js::JSObjectRef windowObject,
                                         IWebFrame*) {
  m_service.m_handler = HandleFinderCall;
  return m_service.Install(this, context, windowObject, this);
}

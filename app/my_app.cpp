#include "app/my_app.h"

#include "app/engine_environment.h"

#include <cstdio>

CMyApp* g_pApp = nullptr;

CMyApp::CMyApp(HINSTANCE instance, int cmdShow) : CWebKitApp(instance, cmdShow) {}

CMyApp::~CMyApp() {
  for (CMyWindow* window : m_popupWindows) delete window;
  std::vector<CMyWindow*>().swap(m_popupWindows);
}

void CMyApp::Run() {
  m_localWindow.Create(u"Trawler", m_hInstance);
  // Without a registered window nothing could ever end the loop.
  if (WindowRegistry.empty()) {
    std::fputs("trawler: the user interface window could not be created\n", stderr);
    m_exitCode = 1;
    return;
  }
  ShowWindow(m_localWindow.m_hWnd, m_nCmdShow);
  UpdateWindow(m_localWindow.m_hWnd);
  m_localWindow.SetIcons();
  // Only the top-level UI window takes dropped files; the view's own window refuses them.
  DragAcceptFiles(m_localWindow.m_hWnd, TRUE);
  std::u16string url;
  GetUiPageUrl(url);
  m_localWindow.LoadUrl(url.c_str());
  CWebKitApp::Run();
}

int wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int cmdShow) {
  CMyApp app(instance, cmdShow);
  g_pApp = &app;
  app.RegisterWindowClass();
  app.Run();
  return app.ExitCode();
}

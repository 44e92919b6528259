#pragma once

// Trawler's application object: the UI window, the main browsing window and the browsing
// windows that pages open, for the whole run. The finder reaches them through g_pApp.

#include "app/webkit_app.h"
#include "finder/local_window.h"
#include "finder/my_window.h"

#include <vector>

class CMyApp : public CWebKitApp {
 public:
  CMyApp(HINSTANCE instance, int cmdShow);
  ~CMyApp() override;

  // Shows the UI window with its page, then runs the loop until the last window is gone.
  void Run() override;
  // The process's exit code: 0, or 1 when the UI window could not be made.
  int ExitCode() const { return m_exitCode; }

  CLocalWindow m_localWindow;
  CMyWindow m_myWindow;
  std::vector<CMyWindow*> m_popupWindows;  // owned

 private:
  int m_exitCode = 0;
};

extern CMyApp* g_pApp;

int wWinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int cmdShow);

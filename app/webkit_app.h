#pragma once

// The application base: OLE for the thread, the engine's preferences before any web view,
// the window class, and the plain message loop. One object per process, on the UI thread.

#include "platform/win32.h"

class CWebKitApp {
 public:
  CWebKitApp(HINSTANCE instance, int cmdShow);
  CWebKitApp(const CWebKitApp&) = delete;
  CWebKitApp& operator=(const CWebKitApp&) = delete;
  virtual ~CWebKitApp();

  virtual ATOM RegisterWindowClass();
  // Pumps messages until WM_QUIT.
  virtual void Run();

  HINSTANCE m_hInstance = nullptr;
  int m_nCmdShow = 0;
};

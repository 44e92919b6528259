#include "app/webkit_app.h"

#include "app/engine_environment.h"
#include "webview/webkit_window.h"

CWebKitApp::CWebKitApp(HINSTANCE instance, int cmdShow) {
  OleInitialize(nullptr);
  m_hInstance = instance;
  m_nCmdShow = cmdShow;
  // Every web view made later sees these preferences.
  ApplyEnginePreferences();
}

CWebKitApp::~CWebKitApp() { OleUninitialize(); }

ATOM CWebKitApp::RegisterWindowClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WebKitWindowProc;
  windowClass.hInstance = m_hInstance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = kWebKitWindowClass;
  return RegisterClassExW(&windowClass);
}

void CWebKitApp::Run() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0)) {
    // No accelerator table is loaded, so nothing is taken as an accelerator.
    if (!TranslateAcceleratorW(message.hwnd, nullptr, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

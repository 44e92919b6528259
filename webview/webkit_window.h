#pragma once

// A top-level window that hosts one web view. The object owns one reference to its web
// view from Create to the teardown at WM_DESTROY, and its delegates as members; the
// delegates find the window through WindowRegistry. Everything runs on the UI thread.

#include "webview/frame_load_delegate.h"
#include "webview/notification_observer.h"
#include "webview/policy_delegate.h"
#include "webview/ui_delegate.h"
#include "webview/web_engine.h"

#include <map>
#include <string>
#include <vector>

class CWebKitWindow {
 public:
  CWebKitWindow() = default;
  CWebKitWindow(const CWebKitWindow&) = delete;
  CWebKitWindow& operator=(const CWebKitWindow&) = delete;
  virtual ~CWebKitWindow() = default;

  virtual void OnCreate(LPCREATESTRUCTW create);
  virtual void OnSize(WPARAM sizeType, int width, int height);
  virtual void OnTimer(UINT_PTR timerId);
  virtual void OnSetFocus(HWND lostFocus);
  virtual void OnKillFocus(HWND receivesFocus);
  virtual void OnDropFiles(HDROP drop, const std::vector<std::u16string>& paths);
  virtual void OnClose();
  virtual void OnDestroy();
  virtual void OnLoadFinished(BSTR url);
  virtual void OnLoadFailed(IWebError* error, IWebFrame* frame);
  virtual void OnProvisionalLoadFailed(IWebError* error, IWebFrame* frame);
  virtual void OnProgressStarted();
  virtual void OnProgressChanged(int percent);
  virtual void OnProgressFinished();
  virtual bool OnWindowObjectCleared(js::JSContextRef context, js::JSObjectRef windowObject,
                                     IWebFrame* frame);
  virtual void OnNewWindowRequest(BSTR url, BSTR frameName);
  virtual void OnCreateWebView(BSTR url, IWebView** newWebView);
  virtual void SetFrame(RECT* rect);
  virtual void GetFrame(RECT* rect);
  virtual void OnContextMenu(IPropertyBag* element, HMENU menu, HMENU* result);
  virtual void OnAlert(BSTR message);
  virtual void OnConfirm(BSTR message, BOOL* result);
  // Asked before WM_CLOSE closes the window: false keeps it open (a window whose closing
  // would lose work the user chose to keep). True by default.
  virtual bool CanClose();

  // Makes the web view, wires the delegates and the progress observer, creates the native
  // window and attaches the view to it. A failure part-way takes back what was taken, so
  // the window is left without a web view and may be created again.
  bool Create(const WCHAR* title, HINSTANCE instance);
  // Big and small icons from icon resource 101.
  bool SetIcons();
  // Loads an existing file or UNC path as a file URL, anything else as a normalised
  // address, with a GET request. Always true.
  bool LoadUrl(const WCHAR* text);
  // The same for UTF-8 text; false without a web view or for an empty text.
  bool LoadUrlUtf8(const char* text);
  // The main frame's script context and its global object, or null.
  js::JSGlobalContextRef GetGlobalContext();
  js::JSObjectRef GetGlobalObject();

  HINSTANCE m_hInstance = nullptr;
  HWND m_hWnd = nullptr;
  HWND m_hViewWnd = nullptr;
  IWebView* m_webView = nullptr;
  int m_lastProgress = 0;
  CDefFrameLoadDelegate m_frameLoadDelegate;
  CDefUIDelegate m_uiDelegate;
  CDefPolicyDelegate m_policyDelegate;
  IWebNotificationCenter* m_notificationCenter = nullptr;
  CDefNotificationObserver m_notificationObserver;

 private:
  // Create's steps; madeWindow receives the native window once it exists.
  bool CreateParts(const WCHAR* title, HINSTANCE instance, HWND& madeWindow);
};

// The window class of every web-view window.
inline constexpr const WCHAR* kWebKitWindowClass = u"WEBKIT_WINDOW";

// Every registered window, by handle in ascending order: from WM_CREATE to WM_DESTROY.
extern std::map<HWND, CWebKitWindow*> WindowRegistry;

CWebKitWindow* LookupWindow(HWND window);
// Posts WM_DESTROY to every registered window; the last teardown ends the run.
void CloseAllWindows();
// The window of the web view's host window, or null.
CWebKitWindow* LookupWindowOfView(IWebView* webView);
// The window's web view goes: detached from its host, its delegates cleared, closed and
// released. Nothing happens without a web view.
void TearDownWebView(CWebKitWindow& window);

LRESULT CALLBACK WebKitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

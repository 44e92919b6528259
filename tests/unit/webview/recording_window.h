#pragma once

// A web-view window that records which of its operations were called, and with what.

#include "webview/webkit_window.h"

#include <string>
#include <vector>

class RecordingWindow : public CWebKitWindow {
 public:
  void OnCreate(LPCREATESTRUCTW) override { m_calls.push_back("OnCreate"); }
  void OnDestroy() override { m_calls.push_back(m_webView ? "OnDestroy with view" : "OnDestroy"); }
  void OnDropFiles(HDROP, const std::vector<std::u16string>& paths) override {
    m_calls.push_back("OnDropFiles " + std::to_string(paths.size()));
    m_paths = paths;
  }
  void OnLoadFinished(BSTR url) override { m_calls.push_back("OnLoadFinished " + Narrow(url)); }
  void OnProvisionalLoadFailed(IWebError*, IWebFrame*) override {
    m_calls.push_back("OnProvisionalLoadFailed");
  }
  void OnProgressStarted() override { m_calls.push_back("OnProgressStarted"); }
  void OnProgressChanged(int percent) override {
    m_calls.push_back("OnProgressChanged " + std::to_string(percent));
  }
  void OnProgressFinished() override { m_calls.push_back("OnProgressFinished"); }
  bool OnWindowObjectCleared(js::JSContextRef context, js::JSObjectRef, IWebFrame*) override {
    m_calls.push_back(context ? "OnWindowObjectCleared" : "OnWindowObjectCleared without context");
    return true;
  }

  static std::string Narrow(const WCHAR* text) {
    std::string narrow;
    for (; text && *text; ++text) narrow.push_back(static_cast<char>(*text));
    return narrow;
  }

  std::vector<std::string> m_calls;
  std::vector<std::u16string> m_paths;
};

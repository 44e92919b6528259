#pragma once

// What a web view is alike in every engine: the four delegate slots the system fills and
// close() empties, and the host window it reports. An engine's view derives from it and may
// watch the slots change (the simulated engine records each change).

#include "engine/com_object.h"
#include "webview/com_ptr.h"

namespace engine {

class WebViewShell : public ComObject<IWebView, IWebViewPrivate> {
 public:
  HRESULT setUIDelegate(IWebUIDelegate* d) override { return Install(m_uiDelegate, d, "ui"); }
  HRESULT setResourceLoadDelegate(IWebResourceLoadDelegate* d) override {
    return Install(m_resourceLoadDelegate, d, "resourceLoad");
  }
  HRESULT setFrameLoadDelegate(IWebFrameLoadDelegate* d) override {
    return Install(m_frameLoadDelegate, d, "frameLoad");
  }
  HRESULT setPolicyDelegate(IWebPolicyDelegate* d) override {
    return Install(m_policyDelegate, d, "policy");
  }
  HRESULT hostWindow(OLE_HANDLE* window) override {
    if (!window) return E_POINTER;
    *window = reinterpret_cast<OLE_HANDLE>(m_host);
    return S_OK;
  }

  IWebUIDelegate* UIDelegate() const { return m_uiDelegate.Get(); }
  IWebPolicyDelegate* PolicyDelegate() const { return m_policyDelegate.Get(); }
  HWND Host() const { return m_host; }

 protected:
  // A slot changed: the delegate's name ("ui", "resourceLoad", "frameLoad" or "policy") and
  // whether one is installed now.
  virtual void DelegateChanged(const char* /*name*/, bool /*installed*/) {}
  // Gives back every delegate (close() does, so that nothing is called after it).
  void ReleaseDelegates() {
    m_uiDelegate.Reset();
    m_resourceLoadDelegate.Reset();
    m_frameLoadDelegate.Reset();
    m_policyDelegate.Reset();
  }

  HWND m_host = nullptr;
  ComPtr<IWebUIDelegate> m_uiDelegate;
  ComPtr<IWebResourceLoadDelegate> m_resourceLoadDelegate;
  ComPtr<IWebFrameLoadDelegate> m_frameLoadDelegate;
  ComPtr<IWebPolicyDelegate> m_policyDelegate;

 private:
  template <typename Delegate>
  HRESULT Install(ComPtr<Delegate>& slot, Delegate* delegate, const char* name) {
    slot = ComPtr<Delegate>::Share(delegate);
    DelegateChanged(name, delegate != nullptr);
    return S_OK;
  }
};

}  // namespace engine

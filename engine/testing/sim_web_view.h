#pragma once

// A simulated web view with its main frame. A load plays the page's script in virtual
// time: progress started, the page's response, a fresh script context (window object
// cleared, then the page's script), the other responses, progress estimates, load
// finished, progress finished. An unknown URL fails its provisional load.

#include "engine/com_object.h"
#include "engine/testing/sim_engine.h"
#include "engine/web_view_shell.h"
#include "webview/com_ptr.h"

#include <functional>
#include <string>
#include <vector>

namespace sim {

using engine::ComObject;

class SimWebView;

class SimFrame : public ComObject<IWebFrame> {
 public:
  explicit SimFrame(SimWebView* view) : m_view(view) {}
  HRESULT loadRequest(IWebURLRequest* request) override;
  js::JSGlobalContextRef globalContext() override;

  void Detach() { m_view = nullptr; }

 private:
  SimWebView* m_view;
};

class SimWebView : public engine::WebViewShell {
 public:
  SimWebView();
  ~SimWebView() override;

  HRESULT initWithFrame(RECT frame, BSTR frameName, BSTR groupName) override;
  HRESULT mainFrame(IWebFrame** frame) override;
  HRESULT setHostWindow(OLE_HANDLE window) override;
  HRESULT estimatedProgress(double* estimatedProgress) override;
  HRESULT mainFrameURL(BSTR* urlString) override;
  HRESULT close() override;
  HRESULT viewWindow(OLE_HANDLE* window) override;
  // The session holds the cookies the scenario's pages name for their address.
  HRESULT cookiesForRequest(IWebURLRequest* request, IWebCookiesListener* listener) override;
  // Bodies and downloads come from the scenario's responses.
  HRESULT resourceBodyForIdentifier(unsigned long identifier, UINT mostBytes,
                                    IWebResourceBodyListener* listener) override;
  HRESULT downloadRequest(IWebURLRequest* request, IWebDownloadDelegate* delegate,
                          IWebDownload** download) override;
  // What the scenario says of the shown page's certificate.
  HRESULT mainFrameCertificateErrors(UINT* errors) override;

  // Starts loading the URL (the request's settings are recorded).
  void Load(const LoadRecord& load);
  int Id() const { return m_id; }
  js::JSGlobalContextRef Context() const { return m_context; }

 protected:
  // Each delegate change is recorded.
  void DelegateChanged(const char* name, bool installed) override;

 private:
  // Schedules a step of the current load, 1 ms after the previous one.
  void Schedule(std::function<void(SimWebView&)> step);
  void ProgressStarted();
  void ProgressEstimate(double estimate);
  void ProgressFinished();
  // The resource's load, told to the resource-load delegate: its request, its redirects,
  // then its response and end, or its failure.
  void Respond(const Response& response);
  // Whether the view still has a resource-load delegate to tell more.
  bool Tells() const { return m_resourceLoadDelegate && !m_closed; }
  void ClearWindowObject(const std::string& script);
  void FinishLoad();
  void FailProvisionalLoad(const std::u16string& description);
  void ReleaseContext();

  int m_id;
  SimFrame* m_frame;
  HWND m_view = nullptr;
  bool m_closed = false;
  std::u16string m_url;
  double m_progress = 0.0;
  js::JSGlobalContextRef m_context = nullptr;
  uint64_t m_load = 0;  // the current load; steps of earlier loads are dropped
  uint64_t m_nextStepDelay = 0;
  // The resource being told of, and who asked for its body meanwhile.
  unsigned long m_responding = 0;
  ComPtr<IWebResourceBodyListener> m_bodyListener;
  UINT m_mostBodyBytes = 0;
};

}  // namespace sim

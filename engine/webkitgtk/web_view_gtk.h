#pragma once

// A web view: a WebKitWebView in a child window of its host window. What WebKitGTK reports
// on it reaches the delegates the system installed, each call in a script scope (values
// the system obtains during it are given back when it returns). The object holds one
// reference to the widget; close() takes the view out of the window and disconnects
// everything, and the last COM reference frees it. On the UI thread only.

#include "engine/web_view_shell.h"
#include "engine/webkitgtk/web_frame_gtk.h"
#include "platform/gtk/gobject_ptr.h"
#include "webview/com_ptr.h"

#include <webkit2/webkit2.h>

#include <map>
#include <vector>

namespace webkitgtk {

class URLRequestGtk;

class WebViewGtk : public engine::WebViewShell, public FrameHost {
 public:
  WebViewGtk();
  ~WebViewGtk() override;

  HRESULT initWithFrame(RECT frame, BSTR frameName, BSTR groupName) override;
  HRESULT mainFrame(IWebFrame** frame) override;
  HRESULT setHostWindow(OLE_HANDLE window) override;
  HRESULT estimatedProgress(double* estimatedProgress) override;
  HRESULT mainFrameURL(BSTR* urlString) override;
  HRESULT close() override;
  HRESULT viewWindow(OLE_HANDLE* window) override;
  HRESULT cookiesForRequest(IWebURLRequest* request, IWebCookiesListener* listener) override;
  HRESULT resourceBodyForIdentifier(unsigned long identifier, UINT mostBytes,
                                    IWebResourceBodyListener* listener) override;
  HRESULT downloadRequest(IWebURLRequest* request, IWebDownloadDelegate* delegate,
                          IWebDownload** download) override;
  HRESULT mainFrameCertificateErrors(UINT* errors) override;

  HRESULT Load(const URLRequestGtk& request) override;
  // The identifier of the page in its web process, and the script context its agent last
  // reported (null for views without an agent).
  uint64_t PageId() const;
  js::JSGlobalContextRef PageContext() const override;
  void WindowObjectCleared(js::JSGlobalContextRef context, js::JSObjectRef windowObject);
  WebKitWebView* Widget() const { return m_view.Get(); }

 private:
  void Connect();
  void Post(const char16_t* notification);
  // The handlers of WebKitGTK's signals, each with its signal's parameters and result.
  void LoadChanged(WebKitWebView*, WebKitLoadEvent event);
  gboolean LoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar* failingUri, GError* failure);
  void ProgressChanged(GObject*, GParamSpec*);
  gboolean DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type);
  GtkWidget* CreateView(WebKitWebView*, WebKitNavigationAction* action);
  gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog);
  gboolean ContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*);
  // The page opened its window with a size, moved it or resized it. A window a page opens
  // takes its geometry once the page is ready to show it: until then WebKit works out the
  // frame from the window's size and its own, which must not change meanwhile.
  void PageSetGeometry(WebKitWindowProperties* properties, GParamSpec*);
  // What the page last set of its window's position (or size), and what it set before.
  struct PageSetting {
    // Whether a value WebKit gives is not one the page set now: one it set before, or the
    // one GTK still shows while the newer one waits.
    bool Stale(GdkPoint value, GdkPoint shown) const;
    void Note(GdkPoint value);
    std::vector<GdkPoint> before;
    GdkPoint last{};
    bool set = false;
  };
  PageSetting m_pagePosition;
  PageSetting m_pageSize;
  void ReadyToShow(WebKitWebView* view);
  // A resource's load, told to the resource-load delegate under the identifier it got
  // when it started: its request, each request sent (after a redirect with the hop's
  // response), its response, and its end or failure.
  void ResourceLoadStarted(WebKitWebView*, WebKitWebResource* resource, WebKitURIRequest* request);
  void RequestSent(WebKitWebResource* resource, WebKitURIRequest* request,
                   WebKitURIResponse* redirected);
  void ResponseReceived(WebKitWebResource* resource, GParamSpec*);
  void ResourceFinished(WebKitWebResource* resource);
  void ResourceFailed(WebKitWebResource* resource, GError* failure);
  // The identifier of a resource being told of, or 0 (no delegate, or not tracked).
  uint32_t TrackedIdentifier(WebKitWebResource* resource) const;
  WebKitCookieManager* CookieManager() const;
  void ProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason);

  GObjectPtr<WebKitWebView> m_view;
  ComPtr<WebFrameGtk> m_frame;
  HWND m_window = nullptr;
  bool m_closed = false;
  bool m_committed = false;
  bool m_failed = false;
  bool m_awaitingShow = false;  // made for a page's window.open, not yet ready to show
  gint64 m_lastCrash = 0;
  int m_crashesInARow = 0;
  guint m_crashReload = 0;  // the source that loads the page again after its process ended
  uint32_t m_nextResource = 1;
  struct TrackedResource {
    GObjectPtr<WebKitWebResource> resource;  // kept until it finishes or fails
    uint32_t identifier = 0;
    ComPtr<IWebResourceBodyListener> bodyListener;  // hears the body once it finished
    UINT mostBodyBytes = 0;
    bool fromMemory = false;  // the page's memory cache answers it
  };
  static bool CameFromMemory(WebKitURIRequest* request);
  std::map<WebKitWebResource*, TrackedResource> m_resources;
  // Stops telling of the resource; what was kept of it.
  TrackedResource ForgetResource(WebKitWebResource* resource);
};

}  // namespace webkitgtk

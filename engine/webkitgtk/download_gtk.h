#pragma once

// A download the system started: a GET of an address through libsoup with what the view's
// page would send (the session's cookies for each address, read again after each redirect;
// the page's address as Referer; the view's user agent), its bytes handed to the delegate
// as they come. Redirects are followed here, so a cookie never goes to another address
// than its own. On the UI thread only.

#include "engine/com_object.h"
#include "platform/gtk/gobject_ptr.h"
#include "webview/com_ptr.h"

#include <webkit2/webkit2.h>

#include <string>

namespace webkitgtk {

class DownloadGtk : public engine::ComObject<IWebDownload> {
 public:
  DownloadGtk(WebKitCookieManager* cookies, std::string referer, std::string userAgent,
              IWebDownloadDelegate* delegate);
  ~DownloadGtk() override;

  // Starts fetching the address; the delegate hears it later.
  void Start(const std::string& url);
  HRESULT cancel() override;

 private:
  void Send(const std::string& cookieHeader);
  void Sent(GInputStream* stream, GError* failure);
  void Read();
  void ReadDone(GBytes* bytes, GError* failure);
  void Fail(const GError* failure, const char* text);
  // Holds a reference for an operation in flight; Resume gives it back.
  DownloadGtk* Hold() {
    AddRef();
    return this;
  }
  static ComPtr<DownloadGtk> Resume(gpointer self) {
    return ComPtr<DownloadGtk>::Adopt(static_cast<DownloadGtk*>(self));
  }

  GObjectPtr<WebKitCookieManager> m_cookies;
  std::string m_referer;
  std::string m_userAgent;
  ComPtr<IWebDownloadDelegate> m_delegate;
  GObjectPtr<GCancellable> m_cancellable;
  GObjectPtr<SoupMessage> m_message;
  GObjectPtr<GInputStream> m_stream;
  std::string m_url;
  int m_hops = 0;
  bool m_over = false;  // cancelled, finished or failed: the delegate hears nothing more
};

}  // namespace webkitgtk

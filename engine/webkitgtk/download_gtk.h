#pragma once

// A download the system started: a GET of an http or https address through libsoup with
// what the view's page would send: the request's own header fields, the view's user agent,
// the cookies the session would add (read when it starts), and the session's policy for
// certificates nobody vouches for. Its response is told with its headers, and its bytes as
// they come; a redirect is told and not followed. On the UI thread only.

#include "engine/com_object.h"
#include "platform/gtk/gobject_ptr.h"
#include "webview/com_ptr.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

namespace webkitgtk {

struct RequestCookies;
class URLRequestGtk;

class DownloadGtk : public engine::ComObject<IWebDownload> {
 public:
  // The request's address, fields and page; whether certificates nobody vouches for are
  // taken.
  DownloadGtk(WebKitCookieManager* cookies, const URLRequestGtk& request, std::string userAgent,
              bool anyCertificate, IWebDownloadDelegate* delegate);
  ~DownloadGtk() override;

  // Starts fetching; the delegate hears it later.
  void Start();
  HRESULT cancel() override;

 private:
  struct HeadersUnref {
    void operator()(SoupMessageHeaders* headers) const { soup_message_headers_unref(headers); }
  };

  void Send(const RequestCookies& cookies);
  void Sent(GInputStream* stream, GError* failure);
  void Read();
  void ReadDone(GBytes* bytes, GError* failure);
  void Finish();
  void Fail(const GError* failure, const char* text);
  static gboolean AcceptCertificate(SoupMessage*, GTlsCertificate*, GTlsCertificateFlags,
                                    gpointer self);
  // Holds a reference for an operation in flight; Resume gives it back.
  DownloadGtk* Hold() {
    AddRef();
    return this;
  }
  static ComPtr<DownloadGtk> Resume(gpointer self) {
    return ComPtr<DownloadGtk>::Adopt(static_cast<DownloadGtk*>(self));
  }

  GObjectPtr<WebKitCookieManager> m_cookies;
  std::string m_url;
  std::string m_page;
  bool m_handlesCookies;
  std::unique_ptr<SoupMessageHeaders, HeadersUnref> m_fields;
  std::string m_userAgent;
  bool m_anyCertificate;
  ComPtr<IWebDownloadDelegate> m_delegate;
  GObjectPtr<GCancellable> m_cancellable;
  GObjectPtr<SoupMessage> m_message;
  GObjectPtr<GInputStream> m_stream;
  int64_t m_expected = -1;  // the bytes the body should hold; -1: not known
  int64_t m_received = 0;
  bool m_over = false;  // cancelled, finished or failed: the delegate hears nothing more
};

}  // namespace webkitgtk

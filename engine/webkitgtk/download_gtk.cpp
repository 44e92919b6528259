#include "engine/webkitgtk/download_gtk.h"

#include "engine/webkitgtk/engine_text.h"
#include "engine/webkitgtk/http_facts_gtk.h"
#include "engine/webkitgtk/session_cookies_gtk.h"
#include "engine/webkitgtk/url_request_gtk.h"

namespace webkitgtk {
namespace {

constexpr gsize kChunk = 64 * 1024;
constexpr guint kIdleSeconds = 60;

// The one libsoup session of the system's downloads. It keeps no cookies of its own: each
// request carries the web view's. It decodes content codings (gzip, br) as WebKit does.
SoupSession* Session() {
  static GObjectPtr<SoupSession> session(soup_session_new_with_options(
      "timeout", kIdleSeconds, "idle-timeout", kIdleSeconds, nullptr));
  return session.Get();
}

// Whether the body comes decoded from a content coding, so that its announced length is
// not the length the delegate hears.
bool Decoded(SoupMessageHeaders* headers) {
  const char* coding = soup_message_headers_get_one(headers, "Content-Encoding");
  return coding && g_ascii_strcasecmp(coding, "identity") != 0;
}

}  // namespace

DownloadGtk::DownloadGtk(WebKitCookieManager* cookies, const URLRequestGtk& request,
                         std::string userAgent, bool anyCertificate, IWebDownloadDelegate* delegate)
    : m_cookies(WEBKIT_COOKIE_MANAGER(g_object_ref(cookies))),
      m_url(platform::Utf8(request.Url())),
      m_page(platform::Utf8(request.MainDocumentUrl())),
      m_handlesCookies(request.HandlesCookies()),
      m_fields(soup_message_headers_new(SOUP_MESSAGE_HEADERS_REQUEST)),
      m_userAgent(std::move(userAgent)),
      m_anyCertificate(anyCertificate),
      m_delegate(ComPtr<IWebDownloadDelegate>::Share(delegate)),
      m_cancellable(g_cancellable_new()) {
  if (SoupMessageHeaders* fields = request.Headers()) {
    soup_message_headers_foreach(
        fields,
        [](const char* name, const char* value, gpointer into) {
          soup_message_headers_append(static_cast<SoupMessageHeaders*>(into), name, value);
        },
        m_fields.get());
  }
}

DownloadGtk::~DownloadGtk() { g_cancellable_cancel(m_cancellable.Get()); }

void DownloadGtk::Start() {
  DownloadGtk* self = Hold();
  // A request without cookies goes out a turn later all the same: never during the call.
  if (!m_handlesCookies) {
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer self) {
          Resume(self)->Send(RequestCookies{});
          return gboolean(G_SOURCE_REMOVE);
        },
        self, nullptr);
    return;
  }
  ReadRequestCookies(m_cookies.Get(), m_url, m_page, m_cancellable.Get(),
                     [self](const RequestCookies& cookies) { Resume(self)->Send(cookies); });
}

HRESULT DownloadGtk::cancel() {
  m_over = true;
  m_delegate.Reset();
  g_cancellable_cancel(m_cancellable.Get());
  return S_OK;
}

gboolean DownloadGtk::AcceptCertificate(SoupMessage*, GTlsCertificate*, GTlsCertificateFlags,
                                        gpointer self) {
  return static_cast<DownloadGtk*>(self)->m_anyCertificate;
}

void DownloadGtk::Send(const RequestCookies& cookies) {
  if (m_over) return;
  m_message = GObjectPtr<SoupMessage>(soup_message_new("GET", m_url.c_str()));
  if (!m_message) return Fail(nullptr, "The address cannot be fetched");
  SoupMessageHeaders* headers = soup_message_get_request_headers(m_message.Get());
  soup_message_headers_foreach(
      m_fields.get(),
      [](const char* name, const char* value, gpointer into) {
        soup_message_headers_replace(static_cast<SoupMessageHeaders*>(into), name, value);
      },
      headers);
  if (!m_userAgent.empty())
    soup_message_headers_replace(headers, "User-Agent", m_userAgent.c_str());
  if (!cookies.header.empty())
    soup_message_headers_replace(headers, "Cookie", cookies.header.c_str());
  soup_message_add_flags(m_message.Get(), SOUP_MESSAGE_NO_REDIRECT);
  // The message goes before this object does (the destructor cancels it first).
  g_signal_connect(m_message.Get(), "accept-certificate", G_CALLBACK(AcceptCertificate), this);
  soup_session_send_async(
      Session(), m_message.Get(), G_PRIORITY_DEFAULT, m_cancellable.Get(),
      +[](GObject* session, GAsyncResult* result, gpointer self) {
        GError* failure = nullptr;
        GInputStream* stream = soup_session_send_finish(SOUP_SESSION(session), result, &failure);
        Resume(self)->Sent(stream, failure);
      },
      Hold());
}

void DownloadGtk::Sent(GInputStream* stream, GError* failure) {
  m_stream = GObjectPtr<GInputStream>(stream);
  if (m_over || failure) {
    if (!m_over) Fail(failure, nullptr);
    g_clear_error(&failure);
    return;
  }
  const guint status = soup_message_get_status(m_message.Get());
  SoupMessageHeaders* headers = soup_message_get_response_headers(m_message.Get());
  const bool sized = soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH;
  m_expected = sized && !Decoded(headers) ? soup_message_headers_get_content_length(headers) : -1;
  ScopedBstr lines(HeaderLines(headers));
  // The delegate may cancel during its call: it is held for the call.
  const auto delegate = ComPtr<IWebDownloadDelegate>::Share(m_delegate.Get());
  delegate->didReceiveResponse(this, static_cast<int>(status), m_expected, lines.Get());
  // A redirect ends here: the delegate follows it, or not.
  if (SOUP_STATUS_IS_REDIRECTION(status)) return Finish();
  Read();
}

void DownloadGtk::Read() {
  if (m_over) return;
  g_input_stream_read_bytes_async(
      m_stream.Get(), kChunk, G_PRIORITY_DEFAULT, m_cancellable.Get(),
      +[](GObject* stream, GAsyncResult* result, gpointer self) {
        GError* failure = nullptr;
        GBytes* bytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(stream), result, &failure);
        Resume(self)->ReadDone(bytes, failure);
      },
      Hold());
}

void DownloadGtk::ReadDone(GBytes* bytes, GError* failure) {
  gsize length = 0;
  const char* data = bytes ? static_cast<const char*>(g_bytes_get_data(bytes, &length)) : nullptr;
  if (!m_over && failure) {
    Fail(failure, nullptr);
  } else if (!m_over && length == 0) {
    // A body shorter than its announced length was cut short.
    if (m_expected >= 0 && m_received < m_expected) {
      Fail(nullptr, "The connection closed before the whole body came");
    } else {
      Finish();
    }
  } else if (!m_over) {
    m_received += static_cast<int64_t>(length);
    const auto delegate = ComPtr<IWebDownloadDelegate>::Share(m_delegate.Get());
    delegate->didReceiveData(this, data, static_cast<UINT>(length));
    Read();
  }
  if (bytes) g_bytes_unref(bytes);
  g_clear_error(&failure);
}

void DownloadGtk::Finish() {
  if (m_stream) g_input_stream_close(m_stream.Get(), nullptr, nullptr);
  m_over = true;
  ComPtr<IWebDownloadDelegate> delegate = std::move(m_delegate);
  if (delegate) delegate->didFinish(this);
}

void DownloadGtk::Fail(const GError* failure, const char* text) {
  m_over = true;
  ComPtr<IWebDownloadDelegate> delegate = std::move(m_delegate);
  GError* own = text ? g_error_new_literal(G_IO_ERROR, G_IO_ERROR_FAILED, text) : nullptr;
  auto error = ComPtr<IWebError>::Adopt(new WebErrorGtk(own ? own : failure, m_url.c_str()));
  if (own) g_error_free(own);
  if (delegate) delegate->didFailWithError(this, error.Get());
}

}  // namespace webkitgtk

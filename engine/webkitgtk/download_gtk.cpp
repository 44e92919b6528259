#include "engine/webkitgtk/download_gtk.h"

#include "engine/webkitgtk/http_facts_gtk.h"
#include "engine/webkitgtk/session_cookies_gtk.h"

namespace webkitgtk {
namespace {

constexpr int kMostHops = 20;
constexpr gsize kChunk = 64 * 1024;
constexpr guint kIdleSeconds = 60;

// The one libsoup session of the system's downloads. It keeps no cookies of its own: each
// request carries the web view's.
SoupSession* Session() {
  static GObjectPtr<SoupSession> session(soup_session_new_with_options(
      "timeout", kIdleSeconds, "idle-timeout", kIdleSeconds, nullptr));
  return session.Get();
}

bool Redirects(guint status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

DownloadGtk::DownloadGtk(WebKitCookieManager* cookies, std::string referer, std::string userAgent,
                         IWebDownloadDelegate* delegate)
    : m_cookies(WEBKIT_COOKIE_MANAGER(g_object_ref(cookies))),
      m_referer(std::move(referer)),
      m_userAgent(std::move(userAgent)),
      m_delegate(ComPtr<IWebDownloadDelegate>::Share(delegate)),
      m_cancellable(g_cancellable_new()) {}

DownloadGtk::~DownloadGtk() { g_cancellable_cancel(m_cancellable.Get()); }

void DownloadGtk::Start(const std::string& url) {
  m_url = url;
  DownloadGtk* self = Hold();
  ReadSessionCookies(m_cookies.Get(), url, m_cancellable.Get(),
                     [self](const std::string& header) { Resume(self)->Send(header); });
}

HRESULT DownloadGtk::cancel() {
  m_over = true;
  m_delegate.Reset();
  g_cancellable_cancel(m_cancellable.Get());
  return S_OK;
}

void DownloadGtk::Send(const std::string& cookieHeader) {
  if (m_over) return;
  m_message = GObjectPtr<SoupMessage>(soup_message_new("GET", m_url.c_str()));
  if (!m_message) return Fail(nullptr, "The address cannot be fetched");
  SoupMessageHeaders* headers = soup_message_get_request_headers(m_message.Get());
  if (!m_userAgent.empty())
    soup_message_headers_replace(headers, "User-Agent", m_userAgent.c_str());
  if (!m_referer.empty()) soup_message_headers_replace(headers, "Referer", m_referer.c_str());
  if (!cookieHeader.empty()) soup_message_headers_replace(headers, "Cookie", cookieHeader.c_str());
  soup_message_add_flags(m_message.Get(), SOUP_MESSAGE_NO_REDIRECT);
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
  const char* location = soup_message_headers_get_one(headers, "Location");
  if (Redirects(status) && location) {
    g_autofree char* next =
        g_uri_resolve_relative(m_url.c_str(), location, G_URI_FLAGS_NONE, nullptr);
    if (!next) return Fail(nullptr, "A redirect led to an address that is not valid");
    if (++m_hops > kMostHops) return Fail(nullptr, "Too many redirects");
    g_input_stream_close(stream, nullptr, nullptr);
    return Start(next);
  }
  const bool sized = soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CONTENT_LENGTH;
  // The delegate may cancel during its call: it is held for the call.
  const auto delegate = ComPtr<IWebDownloadDelegate>::Share(m_delegate.Get());
  delegate->didReceiveResponse(this, static_cast<int>(status),
                               sized ? soup_message_headers_get_content_length(headers) : -1);
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
    m_over = true;
    ComPtr<IWebDownloadDelegate> delegate = std::move(m_delegate);
    delegate->didFinish(this);
  } else if (!m_over) {
    const auto delegate = ComPtr<IWebDownloadDelegate>::Share(m_delegate.Get());
    delegate->didReceiveData(this, data, static_cast<UINT>(length));
    Read();
  }
  if (bytes) g_bytes_unref(bytes);
  g_clear_error(&failure);
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

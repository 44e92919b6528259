#pragma once

// Fetches through the browsing window's session (IWebViewPrivate::downloadURL): what a
// save writes, and a playlist's text when the engine kept none.

#include "webview/com_ptr.h"
#include "webview/delegate_base.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What a fetch tells, in order: its response (a status of 400 or more ends it as a
// failure first), each part of its body (false stops it, and it ends as "Stopped"), and
// its end (an empty error when it completed). Nothing is told after a cancel.
struct FetchHandlers {
  std::function<void(int64_t announcedLength)> response;
  std::function<bool(std::string_view bytes)> data;
  std::function<void(const std::string& error)> end;
};

class CSessionFetch : public CCountedListener<IWebDownloadDelegate> {
 public:
  // Null when the view cannot fetch. An empty referer stands for the view's page address.
  static ComPtr<CSessionFetch> Start(IWebView* view, const std::string& url,
                                     const std::string& referer, FetchHandlers handlers);
  void Cancel() {
    if (m_over) return;
    m_over = true;
    if (m_download) m_download->cancel();
    m_download.Reset();
  }

  HRESULT didReceiveResponse(IWebDownload*, int statusCode,
                             long long expectedContentLength) override;
  HRESULT didReceiveData(IWebDownload*, const char* bytes, UINT length) override;
  HRESULT didFinish(IWebDownload*) override;
  HRESULT didFailWithError(IWebDownload*, IWebError* error) override;

 private:
  explicit CSessionFetch(FetchHandlers handlers) : m_handlers(std::move(handlers)) {}
  void End(const std::string& error);

  FetchHandlers m_handlers;
  ComPtr<IWebDownload> m_download;
  bool m_over = false;
};

// Fetches a text of at most mostBytes; `done` hears it, or the error ("" when it came).
void FetchText(IWebView* view, const std::string& url, const std::string& referer, size_t mostBytes,
               std::function<void(const std::string& text, const std::string& error)> done);

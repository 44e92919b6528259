#include "finder/saves/session_fetch.h"

#include "finder/text/text_conversion.h"

#include <memory>

ComPtr<CSessionFetch> CSessionFetch::Start(IWebView* view, const std::string& url,
                                           const std::string& referer, FetchHandlers handlers) {
  ComPtr<IWebViewPrivate> session;
  if (!view || FAILED(view->QueryInterface(IID_IWebViewPrivate, session.ReceiveVoid())) ||
      !session) {
    return ComPtr<CSessionFetch>();
  }
  auto fetch = ComPtr<CSessionFetch>::Adopt(new CSessionFetch(std::move(handlers)));
  ScopedBstr address(Utf16Of(url));
  ScopedBstr referrer(Utf16Of(referer));
  if (FAILED(session->downloadURL(address.Get(), referrer.Get(), fetch.Get(),
                                  fetch->m_download.Receive()))) {
    return ComPtr<CSessionFetch>();
  }
  return fetch;
}

HRESULT CSessionFetch::didReceiveResponse(IWebDownload*, int statusCode,
                                          long long expectedContentLength) {
  if (m_over) return S_OK;
  if (statusCode >= 400) {
    if (m_download) m_download->cancel();
    End("The server answered " + std::to_string(statusCode));
    return S_OK;
  }
  const ComPtr<CSessionFetch> self = ComPtr<CSessionFetch>::Share(this);
  if (m_handlers.response) m_handlers.response(expectedContentLength);
  return S_OK;
}

HRESULT CSessionFetch::didReceiveData(IWebDownload*, const char* bytes, UINT length) {
  if (m_over || !bytes) return S_OK;
  // The handler may end what holds this object (a save that failed lets go of its fetch).
  const ComPtr<CSessionFetch> self = ComPtr<CSessionFetch>::Share(this);
  if (!m_handlers.data || m_handlers.data(std::string_view(bytes, length))) return S_OK;
  if (m_download) m_download->cancel();
  End("Stopped");
  return S_OK;
}

HRESULT CSessionFetch::didFinish(IWebDownload*) {
  End(std::string());
  return S_OK;
}

HRESULT CSessionFetch::didFailWithError(IWebDownload*, IWebError* error) {
  ScopedBstr text;
  if (error) error->localizedDescription(text.Receive());
  const std::string reason = Utf8Of(text.Get());
  End(reason.empty() ? "The download failed" : reason);
  return S_OK;
}

void CSessionFetch::End(const std::string& error) {
  if (m_over) return;
  m_over = true;
  // The download holds this object; this one lets go of the download.
  m_download.Reset();
  // The handlers may drop the last other reference to this object.
  const ComPtr<CSessionFetch> self = ComPtr<CSessionFetch>::Share(this);
  if (m_handlers.end) m_handlers.end(error);
}

void FetchText(IWebView* view, const std::string& url, const std::string& referer, size_t mostBytes,
               std::function<void(const std::string&, const std::string&)> done) {
  auto text = std::make_shared<std::string>();
  auto tooLong = std::make_shared<bool>(false);
  FetchHandlers handlers;
  handlers.data = [text, tooLong, mostBytes](std::string_view bytes) {
    if (text->size() + bytes.size() > mostBytes) {
      *tooLong = true;
      return false;
    }
    text->append(bytes);
    return true;
  };
  handlers.end = [text, tooLong, mostBytes, done](const std::string& error) {
    if (*tooLong) {
      done(std::string(), "It holds more than " + std::to_string(mostBytes / 1024) + " KiB");
    } else {
      done(error.empty() ? *text : std::string(), error);
    }
  };
  const ComPtr<CSessionFetch> fetch = CSessionFetch::Start(view, url, referer, handlers);
  if (!fetch) done(std::string(), "There is no browsing window to fetch with");
}

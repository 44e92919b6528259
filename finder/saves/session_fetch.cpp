#include "finder/saves/session_fetch.h"

#include "finder/records/playlist.h"
#include "finder/text/text_conversion.h"
#include "finder/text/web_address.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int kMostHops = 20;
constexpr double kRequestTimeoutSeconds = 60;

bool IsRedirect(int status) { return status >= 300 && status < 400; }

// "bytes first-last/total" of a Content-Range field; false when it is not one.
bool ContentRange(const std::string& field, int64_t& first, int64_t& last) {
  long long from = 0;
  long long to = 0;
  if (std::sscanf(field.c_str(), "bytes %lld-%lld", &from, &to) != 2 || from < 0 || to < from) {
    return false;
  }
  first = from;
  last = to;
  return true;
}

std::string Bytes(int64_t count) { return std::to_string(count) + " bytes"; }

}  // namespace

ComPtr<IWebMutableURLRequest> SessionRequest(const std::string& url, const std::string& page,
                                             const HeaderFields& fields, bool cookies) {
  ComPtr<IWebMutableURLRequest> request;
  if (FAILED(WebKitCreateInstance(CLSID_WebMutableURLRequest, nullptr, IID_IWebMutableURLRequest,
                                  request.ReceiveVoid())) ||
      !request) {
    return ComPtr<IWebMutableURLRequest>();
  }
  ScopedBstr address(Utf16Of(url));
  if (FAILED(request->initWithURL(address.Get(), WebURLRequestUseProtocolCachePolicy,
                                  kRequestTimeoutSeconds))) {
    return ComPtr<IWebMutableURLRequest>();
  }
  if (!page.empty()) {
    ScopedBstr document(Utf16Of(page));
    request->setMainDocumentURL(document.Get());
  }
  if (!cookies) request->setHTTPShouldHandleCookies(FALSE);
  for (const HeaderField& field : fields) {
    ScopedBstr name(Utf16Of(field.name));
    ScopedBstr value(Utf16Of(field.value));
    if (FAILED(request->setValue(value.Get(), name.Get()))) return ComPtr<IWebMutableURLRequest>();
  }
  return request;
}

CSessionFetch::CSessionFetch(IWebView* view, FetchRequest request, FetchHandlers handlers)
    : m_view(ComPtr<IWebView>::Share(view)),
      m_request(std::move(request)),
      m_handlers(std::move(handlers)) {}

ComPtr<CSessionFetch> CSessionFetch::Start(IWebView* view, FetchRequest request,
                                           FetchHandlers handlers) {
  if (!view || !IsHttpAddress(request.url)) return ComPtr<CSessionFetch>();
  auto fetch = ComPtr<CSessionFetch>::Adopt(
      new CSessionFetch(view, std::move(request), std::move(handlers)));
  const std::string url = fetch->m_request.url;
  const std::string referer = fetch->m_request.referer;
  return fetch->Send(url, referer) ? fetch : ComPtr<CSessionFetch>();
}

bool CSessionFetch::Send(const std::string& url, const std::string& referer) {
  ComPtr<IWebViewPrivate> session;
  if (FAILED(m_view->QueryInterface(IID_IWebViewPrivate, session.ReceiveVoid())) || !session) {
    return false;
  }
  HeaderFields fields;
  if (!referer.empty()) fields.push_back({"Referer", referer});
  if (m_request.rangeFirst >= 0) {
    const std::string last = m_request.rangeLength >= 0
                                 ? std::to_string(m_request.rangeFirst + m_request.rangeLength - 1)
                                 : std::string();
    fields.push_back({"Range", "bytes=" + std::to_string(m_request.rangeFirst) + "-" + last});
  }
  const bool cookies =
      m_request.crossOriginCookies || OriginOf(url) == OriginOf(m_request.document);
  const ComPtr<IWebMutableURLRequest> request =
      SessionRequest(url, m_request.cookiePage, fields, cookies);
  m_url = url;
  m_redirected = false;
  m_expected = -1;
  m_heard = 0;
  m_skip = 0;
  m_wanted = -1;
  return request && SUCCEEDED(session->downloadRequest(request.Get(), this, m_download.Receive()));
}

void CSessionFetch::Cancel() {
  if (m_over) return;
  m_over = true;
  if (m_download) m_download->cancel();
  m_download.Reset();
}

HRESULT CSessionFetch::didReceiveResponse(IWebDownload*, int statusCode,
                                          long long expectedContentLength, BSTR headerLines) {
  if (m_over) return S_OK;
  const HeaderFields headers = ParseHeaderLines(Utf8Of(headerLines));
  m_location = HeaderValue(headers, "Location");
  if (IsRedirect(statusCode) && !m_location.empty()) {
    m_redirected = true;
    return S_OK;
  }
  const auto refuse = [this](const std::string& why) {
    if (m_download) m_download->cancel();
    End(why);
    return S_OK;
  };
  if (statusCode >= 300) {
    m_lasting = statusCode < 500 && statusCode != 408 && statusCode != 429;
    return refuse("The server answered " + std::to_string(statusCode));
  }
  m_expected = expectedContentLength;
  int64_t length = expectedContentLength;
  if (m_request.rangeFirst >= 0) {
    int64_t first = 0;
    int64_t last = 0;
    const bool part = statusCode == 206;
    if (part && (!ContentRange(HeaderValue(headers, "Content-Range"), first, last) ||
                 first != m_request.rangeFirst ||
                 (m_request.rangeLength >= 0 && last - first + 1 != m_request.rangeLength))) {
      return refuse("The server answered another part of the file than the " +
                    Bytes(m_request.rangeLength) + " asked for");
    }
    if (!part) {
      // The whole file came: the range is cut out of it.
      m_skip = m_request.rangeFirst;
      m_wanted = m_request.rangeLength;
      length = m_wanted >= 0                ? m_wanted
               : expectedContentLength >= 0 ? expectedContentLength - m_skip
                                            : -1;
    }
  }
  const ComPtr<CSessionFetch> self = ComPtr<CSessionFetch>::Share(this);
  if (m_handlers.response) m_handlers.response(length);
  return S_OK;
}

bool CSessionFetch::Deliver(std::string_view bytes) {
  const auto passed = static_cast<size_t>(std::min<int64_t>(m_skip, bytes.size()));
  m_skip -= static_cast<int64_t>(passed);
  bytes.remove_prefix(passed);
  if (m_wanted >= 0 && static_cast<int64_t>(bytes.size()) > m_wanted) {
    bytes = bytes.substr(0, static_cast<size_t>(m_wanted));
  }
  if (m_wanted >= 0) m_wanted -= static_cast<int64_t>(bytes.size());
  m_delivered += static_cast<int64_t>(bytes.size());
  return bytes.empty() || !m_handlers.data || m_handlers.data(bytes);
}

HRESULT CSessionFetch::didReceiveData(IWebDownload*, const char* bytes, UINT length) {
  if (m_over || !bytes || m_redirected) return S_OK;
  // The handler may end what holds this object (a save that failed lets go of its fetch).
  const ComPtr<CSessionFetch> self = ComPtr<CSessionFetch>::Share(this);
  m_heard += length;
  if (!Deliver(std::string_view(bytes, length))) {
    if (m_download) m_download->cancel();
    End("Stopped");
  } else if (m_wanted == 0) {
    // The range is whole: the rest of the file is not needed.
    if (m_download) m_download->cancel();
    End(std::string());
  }
  return S_OK;
}

HRESULT CSessionFetch::didFinish(IWebDownload*) {
  if (m_over) return S_OK;
  if (m_redirected) {
    Follow(m_location);
  } else if (m_expected >= 0 && m_heard < m_expected) {
    End("The body was cut short: " + Bytes(m_heard) + " of " + Bytes(m_expected) + " came");
  } else if (m_wanted > 0) {
    End("The file ended before the " + Bytes(m_request.rangeLength) + " asked for");
  } else {
    End(std::string());
  }
  return S_OK;
}

void CSessionFetch::Follow(const std::string& location) {
  const std::string next = ResolveUrl(m_url, location);
  m_lasting = true;
  if (!IsHttpAddress(next)) return End("A redirect led to an address that is not fetched: " + next);
  if (++m_hops > kMostHops) return End("Too many redirects");
  m_lasting = false;
  // The next hop carries what the document's policy gives it, as a browser's would.
  const std::string referer = m_request.document.empty()
                                  ? std::string()
                                  : ReferrerFor(m_request.policy, m_request.document, next);
  const ComPtr<CSessionFetch> self = ComPtr<CSessionFetch>::Share(this);
  m_download.Reset();
  if (!Send(next, referer)) End("The session cannot fetch " + next);
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

ComPtr<CSessionFetch> FetchStart(
    IWebView* view, FetchRequest request, size_t mostBytes,
    std::function<void(const std::string& bytes, bool whole, const std::string& error)> done) {
  auto kept = std::make_shared<std::string>();
  auto cut = std::make_shared<bool>(false);
  FetchHandlers handlers;
  handlers.data = [kept, cut, mostBytes](std::string_view bytes) {
    if (kept->size() + bytes.size() > mostBytes) {
      kept->append(bytes.substr(0, mostBytes - kept->size()));
      *cut = true;
      return false;
    }
    kept->append(bytes);
    return true;
  };
  handlers.end = [kept, cut, done](const std::string& error) {
    if (*cut) {
      done(*kept, false, std::string());
    } else {
      done(error.empty() ? *kept : std::string(), true, error);
    }
  };
  ComPtr<CSessionFetch> fetch = CSessionFetch::Start(view, std::move(request), handlers);
  if (!fetch) done(std::string(), true, "There is no browsing window to fetch with");
  return fetch;
}

void FetchText(IWebView* view, FetchRequest request, size_t mostBytes,
               std::function<void(const std::string&, const std::string&)> done) {
  FetchStart(view, std::move(request), mostBytes,
             [mostBytes, done](const std::string& text, bool whole, const std::string& error) {
               if (whole) return done(text, error);
               done(std::string(),
                    "It holds more than " + std::to_string(mostBytes / 1024) + " KiB");
             });
}

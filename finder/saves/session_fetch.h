#pragma once

// Fetches through the browsing window's session (IWebViewPrivate::downloadRequest): what a
// save writes, and a playlist's text when the engine kept none. A fetch sends what a
// browser would send for the request, follows redirects to http and https addresses only,
// takes a byte range exactly, and ends well only with the whole body.

#include "finder/records/referrer_policy.h"
#include "finder/records/request_record.h"
#include "webview/com_ptr.h"
#include "webview/delegate_base.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A request the tool makes for a row of the list: its address, the Referer of its first
// request (empty: none), the document it stands for and that document's referrer policy
// (the Referer of each redirect hop), whether its kind of request carries cookies to other
// origins than the document's (a fetch() or XMLHttpRequest does not) and the page whose
// site decides the SameSite ones (empty: the address itself), and a byte range.
struct FetchRequest {
  std::string url;
  std::string referer;
  std::string document;
  ReferrerPolicy policy = kDefaultReferrerPolicy;
  bool crossOriginCookies = true;
  std::string cookiePage;
  int64_t rangeFirst = -1;   // the first byte; -1: the whole body
  int64_t rangeLength = -1;  // with rangeFirst: how many bytes; -1: to the end
};

// What a fetch tells, in order: its response (the length of the body the data handler will
// hear, -1 when it is not known), each part of its body (false stops it, and it ends as
// "Stopped"), and its end (an empty error when it completed whole). Nothing is told after
// a cancel.
struct FetchHandlers {
  std::function<void(int64_t length)> response;
  std::function<bool(std::string_view bytes)> data;
  std::function<void(const std::string& error)> end;
};

// A request for the session, with the header fields set and the page it is made for.
ComPtr<IWebMutableURLRequest> SessionRequest(const std::string& url, const std::string& page,
                                             const HeaderFields& fields, bool cookies = true);

class CSessionFetch : public CCountedListener<IWebDownloadDelegate> {
 public:
  // Null when the view cannot fetch the address.
  static ComPtr<CSessionFetch> Start(IWebView* view, FetchRequest request, FetchHandlers handlers);
  void Cancel();
  // Whether it failed in a way that asking again would not mend: the server refused it (an
  // answer of 400 to 499 other than 408 and 429), or sent it where it is not followed.
  bool Lasting() const { return m_lasting; }

  HRESULT didReceiveResponse(IWebDownload*, int statusCode, long long expectedContentLength,
                             BSTR headerLines) override;
  HRESULT didReceiveData(IWebDownload*, const char* bytes, UINT length) override;
  HRESULT didFinish(IWebDownload*) override;
  HRESULT didFailWithError(IWebDownload*, IWebError* error) override;

 private:
  CSessionFetch(IWebView* view, FetchRequest request, FetchHandlers handlers);
  // Sends the request of the address in hand; false when the session refuses it.
  bool Send(const std::string& url, const std::string& referer);
  // A redirect's Location: the next request, or the end with why it is not followed.
  void Follow(const std::string& location);
  // Hands bytes of the body on, taking only the range asked for when the server sent all.
  bool Deliver(std::string_view bytes);
  void End(const std::string& error);

  ComPtr<IWebView> m_view;
  FetchRequest m_request;
  FetchHandlers m_handlers;
  ComPtr<IWebDownload> m_download;
  std::string m_url;  // the address in hand
  int m_hops = 0;
  bool m_redirected = false;  // the response in hand sends the request on
  std::string m_location;
  int64_t m_expected = -1;  // the bytes the response's body should hold; -1: not known
  int64_t m_heard = 0;      // bytes of the response's body heard
  int64_t m_skip = 0;       // bytes still to pass over (a range the server ignored)
  int64_t m_wanted = -1;    // bytes still to hand on; -1: all
  int64_t m_delivered = 0;
  bool m_over = false;
  bool m_lasting = false;
};

// Fetches the first mostBytes of a body; `done` hears them, whether they are the whole body,
// and the error ("" when they came). Null when the view cannot fetch (done hears why).
ComPtr<CSessionFetch> FetchStart(
    IWebView* view, FetchRequest request, size_t mostBytes,
    std::function<void(const std::string& bytes, bool whole, const std::string& error)> done);
// Fetches a text of at most mostBytes; `done` hears it, or the error ("" when it came).
void FetchText(IWebView* view, FetchRequest request, size_t mostBytes,
               std::function<void(const std::string& text, const std::string& error)> done);

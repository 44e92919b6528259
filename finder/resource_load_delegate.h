#pragma once

#include "finder/records/request_record.h"
#include "webview/resource_load_delegate.h"

#include <map>
#include <set>

// A browsing window's resource-load delegate: while a search runs, it keeps a record of each
// request its web view makes (request, the cookies it carried, redirects, response, end,
// failure or cancellation), and reports the row of each response that passes the filter to
// the UI page, then the row's updates. While the search is paused it counts the responses
// that would have passed. A member of its window.
class CResourceLoadDelegate : public CEmptyResourceLoadDelegate {
 public:
  HRESULT identifierForInitialRequest(IWebView* webView, IWebURLRequest* request,
                                      IWebDataSource* dataSource,
                                      unsigned long identifier) override;
  HRESULT willSendRequest(IWebView* webView, unsigned long identifier, IWebURLRequest* request,
                          IWebURLResponse* redirectResponse, IWebDataSource* dataSource,
                          IWebURLRequest** newRequest) override;
  HRESULT didReceiveResponse(IWebView* webView, unsigned long identifier, IWebURLResponse* response,
                             IWebDataSource* dataSource) override;
  HRESULT didReceiveContentLength(IWebView* webView, unsigned long identifier, UINT length,
                                  IWebDataSource* dataSource) override;
  HRESULT didFinishLoadingFromDataSource(IWebView* webView, unsigned long identifier,
                                         IWebDataSource* dataSource) override;
  HRESULT didFailLoadingWithError(IWebView* webView, unsigned long identifier, IWebError* error,
                                  IWebDataSource* dataSource) override;

  // The session told the cookies of a request, for the asking-th time its cookies were
  // asked for (a redirect asks again; only the last answer counts).
  void CookiesHeard(unsigned long identifier, uint32_t asking, const std::string& lines);

  // Requests started and not ended yet, and when the last one started or ended (on the
  // steady clock), while responses are listed.
  size_t InFlight() const { return m_inFlight.size(); }
  double LastActivity() const { return m_lastActivity; }

  // Which window of the search this is: 0 for the main browsing window, n for the n-th
  // window its pages opened.
  int m_window = 0;
  // Which search of the list the window's requests belong to: 0 for the latest, n for the
  // n-th (a run that loads several pages at once).
  int m_search = 0;

 private:
  // A request that ended: its row's last update.
  void End(unsigned long identifier, const std::string& error, bool cancelled);
  // Asks for the cookies the request carries now.
  void AskCookies(IWebView* view, unsigned long identifier, RequestRecord& record);

  // Requests not reported yet, and the rows of reported requests not ended yet, by the
  // engine's identifier. Both are bounded: the oldest go first.
  std::map<unsigned long, RequestRecord> m_pending;
  std::map<unsigned long, uint32_t> m_reported;
  // How often each request's cookies were asked for, and its row once it has one: an
  // answer may come after the request ended.
  struct Asking {
    uint32_t count = 0;
    uint32_t row = 0;
  };
  std::map<unsigned long, Asking> m_askings;
  std::set<unsigned long> m_inFlight;
  double m_lastActivity = 0;
};

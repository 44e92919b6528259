#pragma once

// The simulated web engine's own API, for tests and the scenario runner: the scripted
// pages of a run, what the system did with the engine, and the clock. The engine itself is
// reached through webview/web_engine.h like any engine.

#include "webview/web_engine.h"

#include <json/json.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// A redirect that led to a response: the hop's address and its 3xx status.
struct Redirect {
  std::u16string url;
  int status = 302;
};

// A resource's load as the engine plays it: the request (method, header lines), the hops
// that led to it, then its response (status 0: none of HTTP's), or its failure with a text,
// before or after the response.
struct Response {
  Response() = default;
  Response(std::u16string url, std::u16string mimeType, long long length)
      : url(std::move(url)), mimeType(std::move(mimeType)), length(length) {}

  std::u16string url;
  std::u16string mimeType;
  long long length = -1;
  int status = 200;
  std::u16string method = u"GET";
  std::u16string requestHeaders;  // "Name: value" lines, each ended by CR LF
  std::u16string headers;
  std::vector<Redirect> redirects;
  std::u16string error;
  bool failsAfterResponse = false;
  std::string body;  // what the view keeps of it, and what a download of it gets
  // How a download of it goes: it answers a Range with the whole body (200), or ends well
  // after that many bytes of its body (an engine that missed a cut).
  bool ignoresRange = false;
  long long endsAfter = -1;
  // Its first downloads that many drop their connection: half the body, then an error.
  int downloadsDropped = 0;
  bool fromMemoryCache = false;  // the page's memory cache answers it
  bool cancelled = false;        // its error is a cancellation
};

// A scripted page: its responses (the first is the page itself) and its script. A page
// with several scripts runs the next one on each load, and the last one from then on.
struct Page {
  std::vector<Response> responses;
  std::vector<std::string> scripts;
  std::u16string cookies = {};  // what the session holds for the page's address: "a=1; b=2"
  UINT certificateErrors = 0;   // what its certificate's check found (WebCertificate...)
};

void SetPage(const std::u16string& url, Page page);
// What missingMediaDecoders answers from now on (empty: null, all is played).
void SetMissingDecoders(const std::string& missing);
// Reads {"url": {"responses": [{"url", "mime", "length"}], "script"}}; false with a
// message when the value has another shape. A response may also say "status" (200 for a
// web address, else 0), "method", "requestHeaders" and "headers" (objects of strings),
// "redirects" ([{"url", "status"}]), "error" (a text), "failsAfterResponse", "body" (a
// text), "ignoresRange", "endsAfter" (a byte count), "downloadsDropped" (a count),
// "fromMemoryCache" and "cancelled" (its error is a cancellation); a page may say "cookies" (a
// Cookie header's value) and "untrustedCertificate" (true).
bool SetPagesFromJson(const Json::Value& pages, std::string& error);

struct LoadRecord {
  IWebView* view;
  std::u16string url;
  std::u16string method;
  WebURLRequestCachePolicy cachePolicy;
  double timeout;
  bool allowsAnyHttpsCertificate;
};

// A download the system asked for: the address, the header fields it set, the page it is
// made for and whether the session's cookies go with it.
struct DownloadRecord {
  std::u16string url;
  std::u16string headers;
  std::u16string mainDocumentUrl;
  bool cookies = true;
};

struct DelegateChange {
  IWebView* view;
  std::string delegate;  // "frameLoad", "ui", "policy" or "resourceLoad"
  bool installed;        // false: cleared with null
};

struct PreferenceState {
  bool webSecurityEnabled = true;
  bool localStorageEnabled = false;
  std::u16string localStorageDatabasePath;
  std::vector<std::string> writes;  // the setters called, in order
};

struct Records {
  std::vector<IWebView*> viewsCreated;
  std::vector<IWebView*> viewsClosed;
  std::vector<std::pair<IWebView*, HWND>> hostWindows;
  std::vector<DelegateChange> delegateChanges;
  std::vector<LoadRecord> loads;
  std::vector<DownloadRecord> downloads;
  std::vector<std::u16string> pageErrors;  // exceptions that page scripts did not catch
  PreferenceState preferences;
  int shutdowns = 0;
};

const Records& GetRecords();

// Told of what pages do that a person could see.
class Observer {
 public:
  virtual ~Observer() = default;
  virtual void Log(const std::u16string&) {}
  virtual void Load(const std::u16string& /*url*/) {}
};
void SetObserver(Observer* observer);

// Engine objects alive now, other than the engine's own shared ones (the default
// notification center and the standard preferences).
long LiveObjects();
// Virtual time in milliseconds since the engine started (or was reset).
uint64_t Now();
// Runs the task that many milliseconds from now, among the engine's own.
void After(uint64_t delay, std::function<void()> task);
// Makes WebKitCreateInstance fail for that class from now on (null: for none).
void FailCreationOf(const CLSID* clsid);
// Makes an operation fail from now on (or work again): "addObserver", "removeObserver",
// "setHostWindow", "initWithFrame" and "viewWindow" answer E_FAIL; "mainFrame" answers S_OK
// without a frame.
void FailOperation(const std::string& operation, bool fails = true);
// The default notification center's registrations, and the references held on it.
size_t ObserverRegistrations();
unsigned long DefaultCenterReferences();
// Forgets pages, records, pending tasks and time, for the next test.
void Reset();

}  // namespace sim

// The engine's entry points and its own API.

#include "engine/testing/engine_state.h"
#include "engine/testing/scheduler.h"
#include "engine/testing/sim_objects.h"
#include "engine/testing/sim_web_view.h"
#include "platform/text.h"

namespace sim {

EngineState& State() {
  static EngineState state;
  return state;
}

SimWebView* FindView(int id) {
  const auto found = State().views.find(id);
  return found == State().views.end() ? nullptr : found->second;
}

void SetPage(const std::u16string& url, Page page) { State().pages[url] = std::move(page); }

namespace {

// The text up to its first NUL, as the finder converts it.
std::u16string Wide(const std::string& text) {
  const std::u16string wide = platform::Utf16(text);
  return wide.substr(0, wide.find(u'\0'));
}

// An object of strings as header lines; false for anything else.
bool ReadHeaders(const Json::Value& value, std::u16string& lines) {
  if (value.isNull()) return true;
  if (!value.isObject()) return false;
  for (const std::string& name : value.getMemberNames()) {
    if (!value[name].isString()) return false;
    lines += Wide(name + ": " + value[name].asString() + "\r\n");
  }
  return true;
}

bool ReadRedirects(const Json::Value& value, std::vector<Redirect>& redirects) {
  if (value.isNull()) return true;
  if (!value.isArray()) return false;
  for (const Json::Value& hop : value) {
    if (!hop.isObject() || !hop["url"].isString() || !hop["status"].isInt()) return false;
    redirects.push_back({Wide(hop["url"].asString()), hop["status"].asInt()});
  }
  return true;
}

bool IsWeb(const std::u16string& url) {
  return url.rfind(u"http:", 0) == 0 || url.rfind(u"https:", 0) == 0;
}

bool ReadResponse(const Json::Value& value, Response& response, std::string& error) {
  if (!value.isObject() || !value["url"].isString() ||
      !(value["mime"].isString() || value["mime"].isNull()) ||
      !(value["length"].isIntegral() || value["length"].isNull())) {
    error = "a response needs \"url\" (string), \"mime\" (string) and \"length\" (integer)";
    return false;
  }
  response.url = Wide(value["url"].asString());
  response.mimeType = Wide(value["mime"].isNull() ? "" : value["mime"].asString());
  response.length = value["length"].isNull() ? -1 : value["length"].asInt64();
  response.status = value["status"].isInt() ? value["status"].asInt()
                    : IsWeb(response.url)   ? 200
                                            : 0;
  if (value["method"].isString()) response.method = Wide(value["method"].asString());
  if (value["error"].isString()) response.error = Wide(value["error"].asString());
  if (value["body"].isString()) response.body = value["body"].asString();
  response.failsAfterResponse =
      value["failsAfterResponse"].isBool() && value["failsAfterResponse"].asBool();
  response.ignoresRange = value["ignoresRange"].isBool() && value["ignoresRange"].asBool();
  if (value["endsAfter"].isIntegral()) response.endsAfter = value["endsAfter"].asInt64();
  if (value["downloadsDropped"].isInt())
    response.downloadsDropped = value["downloadsDropped"].asInt();
  response.fromMemoryCache = value["fromMemoryCache"].isBool() && value["fromMemoryCache"].asBool();
  response.cancelled = value["cancelled"].isBool() && value["cancelled"].asBool();
  if (!ReadHeaders(value["requestHeaders"], response.requestHeaders) ||
      !ReadHeaders(value["headers"], response.headers) ||
      !ReadRedirects(value["redirects"], response.redirects)) {
    error = "headers are objects of strings, redirects a list of {\"url\", \"status\"}";
    return false;
  }
  return true;
}

bool ReadPage(const Json::Value& value, Page& page, std::string& error) {
  if (!value.isObject() || !(value["responses"].isArray() || value["responses"].isNull()) ||
      !(value["script"].isString() || value["script"].isNull())) {
    error = "a page needs \"responses\" (a list) and \"script\" (a string)";
    return false;
  }
  for (const Json::Value& item : value["responses"]) {
    Response response;
    if (!ReadResponse(item, response, error)) return false;
    page.responses.push_back(response);
  }
  if (value["script"].isString()) page.scripts.push_back(value["script"].asString());
  if (value["cookies"].isString()) page.cookies = Wide(value["cookies"].asString());
  if (value["untrustedCertificate"].isBool() && value["untrustedCertificate"].asBool()) {
    page.certificateErrors = WebCertificateUnknownCA;
  }
  return true;
}

}  // namespace

bool SetPagesFromJson(const Json::Value& pages, std::string& error) {
  if (!pages.isObject()) {
    error = "\"pages\" must map URLs to pages";
    return false;
  }
  for (const std::string& url : pages.getMemberNames()) {
    Page page;
    if (!ReadPage(pages[url], page, error)) {
      error = "page " + url + ": " + error;
      return false;
    }
    SetPage(Wide(url), std::move(page));
  }
  return true;
}

const Records& GetRecords() { return State().records; }

void SetObserver(Observer* observer) { State().observer = observer; }

long LiveObjects() { return engine::LiveObjectCount(); }

uint64_t Now() { return Scheduler::Get().Now(); }

void After(uint64_t delay, std::function<void()> task) {
  Scheduler::Get().After(delay, std::move(task));
}

void FailCreationOf(const CLSID* clsid) { State().failingClass = clsid; }

void FailOperation(const std::string& operation, bool fails) {
  if (fails) {
    State().failingOperations.insert(operation);
  } else {
    State().failingOperations.erase(operation);
  }
}

size_t ObserverRegistrations() { return SimNotificationCenter::Default().Registrations(); }

unsigned long DefaultCenterReferences() { return SimNotificationCenter::Default().References(); }

void SetMissingDecoders(const std::string& missing) { State().missingDecoders = missing; }

void Reset() {
  Scheduler::Get().Clear();
  Scheduler::Get().ResetClock();
  SimNotificationCenter::Default().RemoveAllObservers();
  EngineState& state = State();
  state.pages.clear();
  state.pageLoads.clear();
  state.downloadsDropped.clear();
  state.missingDecoders.clear();
  state.records = Records();
  state.nextResourceId = 1;
  state.failingClass = nullptr;
  state.failingOperations.clear();
}

}  // namespace sim

HRESULT WebKitCreateInstance(REFCLSID clsid, IUnknown* outer, REFIID iid, void** object) {
  return engine::CreateInstance(outer, iid, object, [&clsid](IUnknown*& created) {
    if (sim::State().failingClass && clsid == *sim::State().failingClass) return E_FAIL;
    if (clsid == CLSID_WebView) {
      created = static_cast<IWebView*>(new sim::SimWebView());
    } else if (clsid == CLSID_WebPreferences) {
      created = static_cast<IWebPreferences*>(new sim::SimPreferences());
    } else if (clsid == CLSID_WebNotificationCenter) {
      created = new sim::SimNotificationCenter();
    } else if (clsid == CLSID_WebMutableURLRequest) {
      created = new sim::SimURLRequest();
    } else {
      return REGDB_E_CLASSNOTREG;
    }
    return S_OK;
  });
}

void shutDownWebKit() {
  ++sim::State().records.shutdowns;
  sim::Scheduler::Get().Clear();
  sim::SimNotificationCenter::Default().RemoveAllObservers();
}

// The simulated engine's views are all of one kind.
void useBrowsingViewsOnly() {}

const char* missingMediaDecoders() {
  const std::string& missing = sim::State().missingDecoders;
  return missing.empty() ? nullptr : missing.c_str();
}

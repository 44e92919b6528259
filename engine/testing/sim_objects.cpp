#include "engine/testing/sim_objects.h"

#include "engine/testing/engine_state.h"

namespace sim {

BSTR MakeBstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

namespace {

std::u16string TextOf(BSTR text) {
  return text ? std::u16string(text, SysStringLen(text)) : std::u16string();
}

HRESULT Answer(BSTR* result, const std::u16string& text) {
  if (!result) return E_POINTER;
  *result = MakeBstr(text);
  return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT Answer(BOOL* result, bool value) {
  if (!result) return E_POINTER;
  *result = value ? TRUE : FALSE;
  return S_OK;
}

}  // namespace

HRESULT SimURLRequest::initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                                   double timeoutInterval) {
  m_url = TextOf(url);
  m_cachePolicy = cachePolicy;
  m_timeout = timeoutInterval;
  return S_OK;
}

HRESULT SimURLRequest::URL(BSTR* result) { return Answer(result, m_url); }

HRESULT SimURLRequest::setHTTPMethod(BSTR method) {
  m_method = TextOf(method);
  return S_OK;
}

HRESULT SimURLRequest::setAllowsAnyHTTPSCertificate() {
  m_allowsAnyHttpsCertificate = true;
  return S_OK;
}

HRESULT SimURLResponse::expectedContentLength(long long* result) {
  if (!result) return E_POINTER;
  *result = m_response.length;
  return S_OK;
}

HRESULT SimURLResponse::MIMEType(BSTR* result) { return Answer(result, m_response.mimeType); }

HRESULT SimURLResponse::URL(BSTR* result) { return Answer(result, m_response.url); }

SimNotification::SimNotification(const std::u16string& name, IUnknown* object)
    : m_name(name), m_object(object) {
  if (m_object) m_object->AddRef();
}

SimNotification::~SimNotification() {
  if (m_object) m_object->Release();
}

HRESULT SimNotification::name(BSTR* result) { return Answer(result, m_name); }

HRESULT SimNotification::getObject(IUnknown** result) {
  if (!result) return E_POINTER;
  *result = m_object;
  if (m_object) m_object->AddRef();
  return S_OK;
}

SimNotificationCenter& SimNotificationCenter::Default() {
  static SimNotificationCenter* center = new SimNotificationCenter(false);
  return *center;
}

HRESULT SimNotificationCenter::defaultCenter(IWebNotificationCenter** center) {
  if (!center) return E_POINTER;
  *center = &Default();
  Default().AddRef();
  return S_OK;
}

HRESULT SimNotificationCenter::addObserver(IWebNotificationObserver* observer,
                                           BSTR notificationName, IUnknown* anObject) {
  if (!observer) return E_POINTER;
  if (State().failingOperations.count("addObserver")) return E_FAIL;
  observer->AddRef();
  Default().m_observers.push_back({observer, TextOf(notificationName), anObject});
  return S_OK;
}

void SimNotificationCenter::Post(const std::u16string& name, IUnknown* sender) {
  // An observer may register others while it is told; only those present now are told.
  const std::vector<Registration> observers = m_observers;
  for (const Registration& registration : observers) {
    if (registration.name != name || (registration.sender && registration.sender != sender)) {
      continue;
    }
    auto* notification = new SimNotification(name, sender);
    registration.observer->onNotification(notification);
    notification->Release();
  }
}

HRESULT SimNotificationCenter::removeObserver(IWebNotificationObserver* observer,
                                              BSTR notificationName, IUnknown* anObject) {
  if (!observer) return E_POINTER;
  if (State().failingOperations.count("removeObserver")) return E_FAIL;
  const std::u16string name = TextOf(notificationName);
  Default().RemoveIf([&](const Registration& registration) {
    return registration.observer == observer && registration.name == name &&
           registration.sender == anObject;
  });
  return S_OK;
}

void SimNotificationCenter::RemoveObserversOf(IUnknown* sender) {
  RemoveIf([sender](const Registration& registration) { return registration.sender == sender; });
}

void SimNotificationCenter::RemoveAllObservers() {
  RemoveIf([](const Registration&) { return true; });
}

template <typename Match>
void SimNotificationCenter::RemoveIf(Match match) {
  std::vector<Registration> removed;
  std::vector<Registration> kept;
  for (const Registration& registration : m_observers) {
    (match(registration) ? removed : kept).push_back(registration);
  }
  m_observers.swap(kept);
  for (const Registration& registration : removed) registration.observer->Release();
}

SimPreferences& SimPreferences::Standard() {
  static SimPreferences* standard = new SimPreferences(&State().records.preferences);
  return *standard;
}

HRESULT SimPreferences::standardPreferences(IWebPreferences** standardPreferences) {
  if (!standardPreferences) return E_POINTER;
  *standardPreferences = &Standard();
  Standard().AddRef();
  return S_OK;
}

HRESULT SimPreferences::localStorageDatabasePath(BSTR* location) {
  return Answer(location, m_settings->localStorageDatabasePath);
}

HRESULT SimPreferences::setLocalStorageDatabasePath(BSTR location) {
  m_settings->localStorageDatabasePath = TextOf(location);
  m_settings->writes.push_back("setLocalStorageDatabasePath");
  return S_OK;
}

HRESULT SimPreferences::setLocalStorageEnabled(BOOL enabled) {
  m_settings->localStorageEnabled = enabled != FALSE;
  m_settings->writes.push_back("setLocalStorageEnabled");
  return S_OK;
}

HRESULT SimPreferences::localStorageEnabled(BOOL* enabled) {
  return Answer(enabled, m_settings->localStorageEnabled);
}

HRESULT SimPreferences::isWebSecurityEnabled(BOOL* enabled) {
  return Answer(enabled, m_settings->webSecurityEnabled);
}

HRESULT SimPreferences::setWebSecurityEnabled(BOOL enabled) {
  m_settings->webSecurityEnabled = enabled != FALSE;
  m_settings->writes.push_back("setWebSecurityEnabled");
  return S_OK;
}

}  // namespace sim

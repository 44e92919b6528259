#include "engine/testing/sim_objects.h"

#include "engine/engine_strings.h"
#include "engine/testing/engine_state.h"

namespace sim {

using engine::Answer;
using engine::TextOf;

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

bool SimNotificationCenter::Refuses(const char* operation) {
  return State().failingOperations.count(operation) > 0;
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

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

HRESULT SimURLRequest::HTTPMethod(BSTR* result) { return Answer(result, m_method); }

HRESULT SimURLRequest::allHTTPHeaderFields(BSTR* result) { return Answer(result, m_headers); }

HRESULT SimURLRequest::setHTTPMethod(BSTR method) {
  m_method = TextOf(method);
  return S_OK;
}

HRESULT SimURLRequest::setAllowsAnyHTTPSCertificate() {
  m_allowsAnyHttpsCertificate = true;
  return S_OK;
}

HRESULT SimURLRequest::setValue(BSTR value, BSTR field) {
  const std::u16string name = TextOf(field);
  const std::u16string text = TextOf(value);
  if (name.empty() || name.find_first_of(u"\r\n") != std::u16string::npos ||
      text.find_first_of(u"\r\n") != std::u16string::npos) {
    return E_INVALIDARG;
  }
  m_headers += name + u": " + text + u"\r\n";
  return S_OK;
}

HRESULT SimURLRequest::setMainDocumentURL(BSTR url) {
  m_mainDocument = TextOf(url);
  return S_OK;
}

HRESULT SimURLRequest::mainDocumentURL(BSTR* result) { return Answer(result, m_mainDocument); }

HRESULT SimURLRequest::setHTTPShouldHandleCookies(BOOL handles) {
  m_handlesCookies = handles != FALSE;
  return S_OK;
}

HRESULT SimURLResponse::expectedContentLength(long long* result) {
  if (!result) return E_POINTER;
  *result = m_response.length;
  return S_OK;
}

HRESULT SimURLResponse::MIMEType(BSTR* result) { return Answer(result, m_response.mimeType); }

HRESULT SimURLResponse::URL(BSTR* result) { return Answer(result, m_response.url); }

HRESULT SimURLResponse::QueryInterface(REFIID iid, void** object) {
  if (iid == IID_IWebHTTPURLResponse && m_response.status == 0) return engine::NoInterface(object);
  return ComObject::QueryInterface(iid, object);
}

HRESULT SimURLResponse::allHeaderFields(BSTR* result) { return Answer(result, m_response.headers); }

HRESULT SimURLResponse::localizedStringForStatusCode(int statusCode, BSTR* result) {
  static const std::pair<int, const char16_t*> kPhrases[] = {
      {200, u"OK"},
      {204, u"No Content"},
      {301, u"Moved Permanently"},
      {302, u"Found"},
      {304, u"Not Modified"},
      {404, u"Not Found"},
      {500, u"Internal Server Error"},
  };
  for (const auto& [code, phrase] : kPhrases) {
    if (code == statusCode) return Answer(result, phrase);
  }
  return Answer(result, u"");
}

HRESULT SimURLResponse::statusCode(int* result) {
  if (!result) return E_POINTER;
  *result = m_response.status;
  return S_OK;
}

HRESULT SimURLResponse::cacheSource(int* result) {
  if (!result) return E_POINTER;
  *result = m_response.fromMemoryCache ? WebCacheSourceMemory : WebCacheSourceNetworkLayer;
  return S_OK;
}

// The simulated engine cancels nothing: a newer load makes the older one's steps moot.
HRESULT SimError::code(int* result) {
  if (!result) return E_POINTER;
  *result = m_code;
  return S_OK;
}

HRESULT SimError::localizedDescription(BSTR* result) { return Answer(result, m_description); }

HRESULT SimError::failingURL(BSTR* result) { return Answer(result, m_url); }

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

#pragma once

// The small engine objects: requests, responses, errors, notifications, the notification
// center and preferences.

#include "engine/com_object.h"
#include "engine/notification_center.h"
#include "engine/testing/sim_engine.h"

#include <string>
#include <vector>

namespace sim {

using engine::ComObject;

class SimURLRequest : public ComObject<IWebMutableURLRequest> {
 public:
  HRESULT initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                      double timeoutInterval) override;
  HRESULT URL(BSTR* result) override;
  HRESULT HTTPMethod(BSTR* result) override;
  HRESULT allHTTPHeaderFields(BSTR* result) override;
  HRESULT setHTTPMethod(BSTR method) override;
  HRESULT setAllowsAnyHTTPSCertificate() override;
  HRESULT setValue(BSTR value, BSTR field) override;
  HRESULT setMainDocumentURL(BSTR url) override;
  HRESULT mainDocumentURL(BSTR* result) override;
  HRESULT setHTTPShouldHandleCookies(BOOL handles) override;

  std::u16string m_url;
  std::u16string m_method = u"GET";
  std::u16string m_headers;
  std::u16string m_mainDocument;
  bool m_handlesCookies = true;
  WebURLRequestCachePolicy m_cachePolicy = WebURLRequestUseProtocolCachePolicy;
  double m_timeout = 60.0;
  bool m_allowsAnyHttpsCertificate = false;
};

// A response; one with status 0 has no HTTP facet.
class SimURLResponse : public ComObject<IWebHTTPURLResponse> {
 public:
  explicit SimURLResponse(const Response& response) : m_response(response) {}
  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT expectedContentLength(long long* result) override;
  HRESULT MIMEType(BSTR* result) override;
  HRESULT URL(BSTR* result) override;
  HRESULT allHeaderFields(BSTR* result) override;
  HRESULT localizedStringForStatusCode(int statusCode, BSTR* result) override;
  HRESULT statusCode(int* result) override;
  HRESULT cacheSource(int* result) override;

 private:
  Response m_response;
};

class SimError : public ComObject<IWebError> {
 public:
  SimError(std::u16string description, std::u16string url, int code = 0)
      : m_description(std::move(description)), m_url(std::move(url)), m_code(code) {}
  HRESULT code(int* result) override;
  HRESULT localizedDescription(BSTR* result) override;
  HRESULT failingURL(BSTR* result) override;

 private:
  std::u16string m_description;
  std::u16string m_url;
  int m_code;
};

// The simulated engine's notification center fails the operations a test asks it to.
class SimNotificationCenter : public engine::NotificationCenter<SimNotificationCenter> {
 public:
  using NotificationCenter::NotificationCenter;

 protected:
  bool Refuses(const char* operation) override;
};

// Preferences objects; the standard one is shared and keeps the engine-wide settings.
class SimPreferences : public ComObject<IWebPreferences, IWebPreferencesPrivate> {
 public:
  // Settings of its own, or (for the standard object) the engine-wide ones.
  explicit SimPreferences(PreferenceState* shared = nullptr)
      : ComObject(shared == nullptr), m_settings(shared ? shared : &m_own) {}
  static SimPreferences& Standard();

  HRESULT standardPreferences(IWebPreferences** standardPreferences) override;
  HRESULT localStorageDatabasePath(BSTR* location) override;
  HRESULT setLocalStorageDatabasePath(BSTR location) override;
  HRESULT setLocalStorageEnabled(BOOL enabled) override;
  HRESULT localStorageEnabled(BOOL* enabled) override;
  HRESULT isWebSecurityEnabled(BOOL* enabled) override;
  HRESULT setWebSecurityEnabled(BOOL enabled) override;

 private:
  PreferenceState m_own;
  PreferenceState* m_settings;
};

}  // namespace sim

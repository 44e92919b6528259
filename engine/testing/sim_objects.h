#pragma once

// The small engine objects: requests, responses, errors, notifications, the notification
// center and preferences.

#include "engine/testing/com_object.h"
#include "engine/testing/sim_engine.h"

#include <string>
#include <vector>

namespace sim {

class SimURLRequest : public ComObject<IWebMutableURLRequest> {
 public:
  HRESULT initWithURL(BSTR url, WebURLRequestCachePolicy cachePolicy,
                      double timeoutInterval) override;
  HRESULT URL(BSTR* result) override;
  HRESULT setHTTPMethod(BSTR method) override;
  HRESULT setAllowsAnyHTTPSCertificate() override;

  std::u16string m_url;
  std::u16string m_method = u"GET";
  WebURLRequestCachePolicy m_cachePolicy = WebURLRequestUseProtocolCachePolicy;
  double m_timeout = 60.0;
  bool m_allowsAnyHttpsCertificate = false;
};

class SimURLResponse : public ComObject<IWebURLResponse> {
 public:
  explicit SimURLResponse(const Response& response) : m_response(response) {}
  HRESULT expectedContentLength(long long* result) override;
  HRESULT MIMEType(BSTR* result) override;
  HRESULT URL(BSTR* result) override;

 private:
  Response m_response;
};

class SimError : public ComObject<IWebError> {};

class SimNotification : public ComObject<IWebNotification> {
 public:
  SimNotification(const std::u16string& name, IUnknown* object);
  ~SimNotification() override;
  HRESULT name(BSTR* result) override;
  HRESULT getObject(IUnknown** result) override;

 private:
  std::u16string m_name;
  IUnknown* m_object;
};

// One center object per WebKitCreateInstance; each answers the engine's one default
// center, which holds the observers until the engine shuts down.
class SimNotificationCenter : public ComObject<IWebNotificationCenter> {
 public:
  explicit SimNotificationCenter(bool counted = true) : ComObject(counted) {}
  static SimNotificationCenter& Default();

  HRESULT defaultCenter(IWebNotificationCenter** center) override;
  HRESULT addObserver(IWebNotificationObserver* observer, BSTR notificationName,
                      IUnknown* anObject) override;
  HRESULT removeObserver(IWebNotificationObserver* observer, BSTR notificationName,
                         IUnknown* anObject) override;

  // Tells the observers of that name registered for the sender (or for any sender).
  void Post(const std::u16string& name, IUnknown* sender);
  // A closed view's registrations go, so that a view made later at the same address
  // never hears them.
  void RemoveObserversOf(IUnknown* sender);
  void RemoveAllObservers();
  size_t Registrations() const { return m_observers.size(); }

 private:
  struct Registration {
    IWebNotificationObserver* observer;
    std::u16string name;
    IUnknown* sender;
  };
  // Removes the registrations that match, releasing their observers.
  template <typename Match>
  void RemoveIf(Match match);

  std::vector<Registration> m_observers;
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

// A new engine string of the text (null for failure to allocate).
BSTR MakeBstr(const std::u16string& text);

}  // namespace sim

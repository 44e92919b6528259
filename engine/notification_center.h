#pragma once

// The notification center both engines share: one default center per run holds the
// observers registered for a name and a sender, and tells them of what the engine posts.
// A closed view's registrations go with it, so that a view made later at the same address
// never hears them. An engine derives its center from this, naming itself, and may refuse
// operations (the simulated engine does, for tests). On the UI thread only.

#include "engine/com_object.h"
#include "engine/engine_strings.h"

#include <string>
#include <vector>

namespace engine {

class Notification : public ComObject<IWebNotification> {
 public:
  Notification(const std::u16string& name, IUnknown* object) : m_name(name), m_object(object) {
    if (m_object) m_object->AddRef();
  }
  ~Notification() override {
    if (m_object) m_object->Release();
  }
  HRESULT name(BSTR* result) override { return Answer(result, m_name); }
  HRESULT getObject(IUnknown** result) override {
    if (!result) return E_POINTER;
    *result = m_object;
    if (m_object) m_object->AddRef();
    return S_OK;
  }

 private:
  std::u16string m_name;
  IUnknown* m_object;
};

template <typename Center>
class NotificationCenter : public ComObject<IWebNotificationCenter> {
 public:
  explicit NotificationCenter(bool counted = true) : ComObject(counted) {}

  // The engine's one default center, which every center object answers.
  static Center& Default() {
    static Center* center = new Center(false);
    return *center;
  }

  HRESULT defaultCenter(IWebNotificationCenter** center) override {
    if (!center) return E_POINTER;
    *center = &Default();
    Default().AddRef();
    return S_OK;
  }
  HRESULT addObserver(IWebNotificationObserver* observer, BSTR notificationName,
                      IUnknown* anObject) override {
    if (!observer) return E_POINTER;
    if (Refuses("addObserver")) return E_FAIL;
    observer->AddRef();
    Default().m_observers.push_back({observer, TextOf(notificationName), anObject});
    return S_OK;
  }
  HRESULT removeObserver(IWebNotificationObserver* observer, BSTR notificationName,
                         IUnknown* anObject) override {
    if (!observer) return E_POINTER;
    if (Refuses("removeObserver")) return E_FAIL;
    const std::u16string name = TextOf(notificationName);
    Default().RemoveIf([&](const Registration& registration) {
      return registration.observer == observer && registration.name == name &&
             registration.sender == anObject;
    });
    return S_OK;
  }

  // Tells the observers of that name registered for the sender (or for any sender).
  void Post(const std::u16string& name, IUnknown* sender) {
    // An observer may register others while it is told; only those present now are told.
    const std::vector<Registration> observers = m_observers;
    for (const Registration& registration : observers) {
      if (registration.name != name || (registration.sender && registration.sender != sender)) {
        continue;
      }
      auto* notification = new Notification(name, sender);
      registration.observer->onNotification(notification);
      notification->Release();
    }
  }
  void RemoveObserversOf(IUnknown* sender) {
    RemoveIf([sender](const Registration& registration) { return registration.sender == sender; });
  }
  void RemoveAllObservers() {
    RemoveIf([](const Registration&) { return true; });
  }
  size_t Registrations() const { return m_observers.size(); }

 protected:
  // Whether the engine makes the operation fail.
  virtual bool Refuses(const char*) { return false; }

 private:
  struct Registration {
    IWebNotificationObserver* observer;
    std::u16string name;
    IUnknown* sender;
  };
  // Removes the registrations that match, releasing their observers.
  template <typename Match>
  void RemoveIf(Match match) {
    std::vector<Registration> removed;
    std::vector<Registration> kept;
    for (const Registration& registration : m_observers) {
      (match(registration) ? removed : kept).push_back(registration);
    }
    m_observers.swap(kept);
    for (const Registration& registration : removed) registration.observer->Release();
  }

  std::vector<Registration> m_observers;
};

}  // namespace engine

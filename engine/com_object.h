#pragma once

// The COM identity and reference counting of an engine's objects (the simulated engine's
// and the WebKitGTK engine's). Each object answers the identifiers of IUnknown and of its
// interfaces, counts its references, and deletes itself at zero. Live objects are counted
// so tests can see that references balance. On the UI thread only.

#include "webview/web_engine.h"

#include <tuple>

namespace engine {

// The engine objects alive now (those made counted).
inline long& LiveObjectCount() {
  static long count = 0;
  return count;
}

// Whether an interface answers for an identifier: its own, or its base interface's.
template <typename Interface>
bool Answers(REFIID iid) {
  return iid == IidOf<Interface>();
}
template <>
inline bool Answers<IWebMutableURLRequest>(REFIID iid) {
  return iid == IID_IWebMutableURLRequest || iid == IID_IWebURLRequest;
}
template <>
inline bool Answers<IWebHTTPURLResponse>(REFIID iid) {
  return iid == IID_IWebHTTPURLResponse || iid == IID_IWebURLResponse;
}
template <>
inline bool Answers<IWebError>(REFIID) {
  return false;
}

// The answer of an object to an interface it lacks this time: no object, E_NOINTERFACE.
inline HRESULT NoInterface(void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  return E_NOINTERFACE;
}

template <typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject(bool counted = true) : m_counted(counted) {
    if (m_counted) ++LiveObjectCount();
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() {
    if (m_counted) --LiveObjectCount();
  }

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown)) {
      *object = static_cast<IUnknown*>(
          static_cast<std::tuple_element_t<0, std::tuple<Interfaces...>>*>(this));
    } else {
      ((Answers<Interfaces>(iid) && (*object = static_cast<Interfaces*>(this))) || ...);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_references; }
  ULONG Release() override {
    const ULONG references = --m_references;
    if (references == 0) delete this;
    return references;
  }
  ULONG References() const { return m_references; }

 private:
  ULONG m_references = 1;
  bool m_counted;
};

// What WebKitCreateInstance does the same in every engine: the checks, then the interface
// asked for, from the object the engine's make(created) made (the creation's reference goes
// with it). make answers a failure when it makes nothing.
template <typename Make>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object, Make make) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  IUnknown* created = nullptr;
  const HRESULT made = make(created);
  if (FAILED(made) || !created) return FAILED(made) ? made : E_FAIL;
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();
  return result;
}

}  // namespace engine

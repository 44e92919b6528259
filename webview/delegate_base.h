#pragma once

// The identity and reference counting shared by every delegate of the system. A delegate
// is a member of the object that owns it; its count starts at 1 for that owner, whose
// reference is never given back, so the engine's balanced references never end it.
// Called on the UI thread only, so the count is a plain integer.

#include "webview/web_engine.h"

// An object of the system answers for IUnknown and its one interface.
template <typename Interface>
HRESULT QueryOwnInterface(Interface* self, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IidOf<Interface>())) {
    return E_NOINTERFACE;
  }
  *object = self;
  self->AddRef();
  return S_OK;
}

template <typename Interface>
class CDelegateBase : public Interface {
 public:
  CDelegateBase() = default;
  CDelegateBase(const CDelegateBase&) = delete;
  CDelegateBase& operator=(const CDelegateBase&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface<Interface>(this, iid, object);
  }
  ULONG AddRef() override { return ++m_refCount; }
  // The storage belongs to the owner, so reaching zero (which the owner's reference
  // prevents) frees nothing here.
  ULONG Release() override { return m_refCount > 0 ? --m_refCount : 0; }

 protected:
  ~CDelegateBase() = default;

 private:
  ULONG m_refCount = 1;
};

// An operation an empty delegate does not implement.
#define DELEGATE_NOT_IMPLEMENTED(name, parameters) \
  HRESULT name parameters override { return E_NOTIMPL; }

// A listener the engine may hold after its maker let go of it (a body to come, a download
// under way): it lives on the heap and goes with its last reference.
template <typename Interface>
class CCountedListener : public Interface {
 public:
  CCountedListener() = default;
  CCountedListener(const CCountedListener&) = delete;
  CCountedListener& operator=(const CCountedListener&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface<Interface>(this, iid, object);
  }
  ULONG AddRef() override { return ++m_refCount; }
  ULONG Release() override {
    const ULONG left = --m_refCount;
    if (!left) delete this;
    return left;
  }

 protected:
  virtual ~CCountedListener() = default;

 private:
  ULONG m_refCount = 1;
};

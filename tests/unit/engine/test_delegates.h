#pragma once

// Small delegates for testing the simulated engine through its interface: every operation
// answers E_NOTIMPL unless a test overrides it, and each counts its references.

#include "webview/web_engine.h"

#define TEST_NOT_IMPLEMENTED(name, parameters) \
  HRESULT name parameters override { return E_NOTIMPL; }

template <typename Interface>
class TestComObject : public Interface {
 public:
  explicit TestComObject(const IID& iid) : m_iid(iid) {}
  virtual ~TestComObject() = default;
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (!(iid == IID_IUnknown || iid == m_iid)) return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_references; }
  ULONG Release() override { return --m_references; }
  ULONG References() const { return m_references; }

 private:
  const IID& m_iid;
  ULONG m_references = 1;  // the test's own, never given back
};

class TestFrameLoadDelegate : public TestComObject<IWebFrameLoadDelegate> {
 public:
  TestFrameLoadDelegate() : TestComObject(IID_IWebFrameLoadDelegate) {}
  WEB_FRAME_LOAD_DELEGATE_OPERATIONS(TEST_NOT_IMPLEMENTED)
};

class TestUIDelegate : public TestComObject<IWebUIDelegate> {
 public:
  TestUIDelegate() : TestComObject(IID_IWebUIDelegate) {}
  WEB_UI_DELEGATE_OPERATIONS(TEST_NOT_IMPLEMENTED)
};

class TestPolicyDelegate : public TestComObject<IWebPolicyDelegate> {
 public:
  TestPolicyDelegate() : TestComObject(IID_IWebPolicyDelegate) {}
  WEB_POLICY_DELEGATE_OPERATIONS(TEST_NOT_IMPLEMENTED)
};

class TestNotificationObserver : public TestComObject<IWebNotificationObserver> {
 public:
  TestNotificationObserver() : TestComObject(IID_IWebNotificationObserver) {}
  WEB_NOTIFICATION_OBSERVER_OPERATIONS(TEST_NOT_IMPLEMENTED)
};

class TestResourceLoadDelegate : public TestComObject<IWebResourceLoadDelegate> {
 public:
  TestResourceLoadDelegate() : TestComObject(IID_IWebResourceLoadDelegate) {}
  WEB_RESOURCE_LOAD_DELEGATE_OPERATIONS(TEST_NOT_IMPLEMENTED)
};

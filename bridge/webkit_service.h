#pragma once

// The script service object: the one native object the UI page can call, seen by the page
// as the global "service" of the script class "ServiceClass" with the functions "call" and
// "cancelCall". The UI window holds it as a member for its whole life; the page reaches
// it on the UI thread only.

#include "bridge/script_engine.h"
#include "bridge/service_protocol.h"

#include <string>

class CWebKitWindow;

// The script binding of a native object.
class CJSObj {
 public:
  js::JSContextRef m_context = nullptr;
  js::JSObjectRef m_targetObject = nullptr;
  js::JSObjectRef m_scriptObject = nullptr;
};

class CWebKitAbstractService : public CJSObj {
 public:
  CWebKitAbstractService();
  CWebKitAbstractService(const CWebKitAbstractService&) = delete;
  CWebKitAbstractService& operator=(const CWebKitAbstractService&) = delete;
  // Not virtual: a service is destroyed as the type it was made.
  ~CWebKitAbstractService();

  // Both answer the script value true and do nothing else.
  virtual js::JSValueRef call();
  virtual js::JSValueRef cancelCall();

  // Makes the service's script object and sets it as property "service" of the target.
  bool Install(CWebKitWindow* owner, js::JSContextRef context, js::JSObjectRef target,
               void* userData);

  CWebKitWindow* m_owner = nullptr;
  std::string m_propertyName;
  void* m_userData = nullptr;
  std::string m_resultText;
  ServiceHandler m_handler = nullptr;

  // The class "ServiceClass", shared by all services from the first installation until
  // the last service goes, and the number of live services.
  static js::JSClassRef s_serviceClass;
  static int s_serviceCount;
};

// Answers "call" by dispatching the request the page stored on the script object.
class CWebKitService : public CWebKitAbstractService {
 public:
  js::JSValueRef call() override;
};

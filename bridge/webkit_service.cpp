#include "bridge/webkit_service.h"

#include "bridge/script_values.h"

js::JSClassRef CWebKitAbstractService::s_serviceClass = nullptr;
int CWebKitAbstractService::s_serviceCount = 0;

namespace {

using ServiceOperation = js::JSValueRef (CWebKitAbstractService::*)();

// The service behind a static function's this object, or null for any other object.
CWebKitAbstractService* ServiceOf(js::JSContextRef context, js::JSObjectRef thisObject) {
  void* service = thisObject ? js::JSObjectGetPrivate(thisObject) : nullptr;
  if (!service || !CWebKitAbstractService::s_serviceClass ||
      !js::JSValueIsObjectOfClass(context, thisObject, CWebKitAbstractService::s_serviceClass)) {
    return nullptr;
  }
  return static_cast<CWebKitAbstractService*>(service);
}

template <ServiceOperation operation>
js::JSValueRef Forward(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef thisObject,
                       size_t, const js::JSValueRef[], js::JSValueRef*) {
  CWebKitAbstractService* service = ServiceOf(context, thisObject);
  // A null value handle reaches the page as undefined.
  return service ? (service->*operation)() : nullptr;
}

const js::JSStaticFunction kServiceFunctions[] = {
    {"call", Forward<&CWebKitAbstractService::call>, js::kJSPropertyAttributeNone},
    {"cancelCall", Forward<&CWebKitAbstractService::cancelCall>, js::kJSPropertyAttributeNone},
    {nullptr, nullptr, 0},
};

js::JSClassDefinition ServiceClassDefinition() {
  js::JSClassDefinition definition = js::kJSClassDefinitionEmpty;
  definition.version = 0;
  definition.attributes = js::kJSClassAttributeNone;
  definition.className = "ServiceClass";
  definition.staticFunctions = kServiceFunctions;
  return definition;
}

}  // namespace

CWebKitAbstractService::CWebKitAbstractService() { ++s_serviceCount; }

CWebKitAbstractService::~CWebKitAbstractService() {
  if (--s_serviceCount == 0 && s_serviceClass) {
    js::JSClassRelease(s_serviceClass);
    s_serviceClass = nullptr;
  }
}

js::JSValueRef CWebKitAbstractService::call() { return js::JSValueMakeBoolean(m_context, true); }

js::JSValueRef CWebKitAbstractService::cancelCall() {
  return js::JSValueMakeBoolean(m_context, true);
}

bool CWebKitAbstractService::Install(CWebKitWindow* owner, js::JSContextRef context,
                                     js::JSObjectRef target, void* userData) {
  if (!s_serviceClass) {
    const js::JSClassDefinition definition = ServiceClassDefinition();
    s_serviceClass = js::JSClassCreate(&definition);
    if (!s_serviceClass) return false;
  }
  if (!owner) return false;
  m_owner = owner;
  js::JSObjectRef scriptObject = js::JSObjectMake(context, s_serviceClass, this);
  if (!scriptObject) return false;
  m_propertyName = "service";
  js::JSStringRef name = js::JSStringCreateWithUTF8CString(m_propertyName.c_str());
  js::JSObjectSetProperty(context, target, name, scriptObject, js::kJSPropertyAttributeNone,
                          nullptr);
  m_context = context;
  m_targetObject = target;
  m_scriptObject = scriptObject;
  m_userData = userData;
  js::JSStringRelease(name);
  return true;
}

js::JSValueRef CWebKitService::call() {
  std::u16string uri;
  std::u16string method;
  // "start\0x" must not run "start".
  GetWholeStringProperty(m_context, m_scriptObject, "uri", uri);
  GetWholeStringProperty(m_context, m_scriptObject, "method", method);
  js::JSValueRef paramsValue = nullptr;
  std::string params;
  const bool hasParams = GetDefinedProperty("params", m_context, m_scriptObject, paramsValue) &&
                         ScriptValueToUtf8(m_context, paramsValue, params);
  m_resultText =
      DispatchServiceCall(m_handler, m_userData, uri, method, hasParams ? params.c_str() : nullptr);
  js::JSStringRef text = js::JSStringCreateWithUTF8CString(m_resultText.c_str());
  const js::JSValueRef value = js::JSValueMakeString(m_context, text);
  js::JSStringRelease(text);
  return value;
}

#include "bridge/service_protocol.h"

#include "bridge/json_text.h"

std::string DispatchServiceCall(ServiceHandler handler, void* userData, const std::u16string& uri,
                                const std::u16string& method, const char* paramsText) {
  Json::Value params;
  if (paramsText && *paramsText) ReadJsonText(paramsText, params);
  Json::Value returnValue;
  if (handler) handler(uri, method, params, userData, returnValue);
  return WriteJsonText(returnValue);
}

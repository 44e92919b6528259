#pragma once

#include <json/json.h>

#include <string>

// The native side of a service call: the service URI, the method name, the parsed
// parameters (any JSON value), the user data fixed when the service was installed, and a
// fresh null value to fill as the answer. The int result is not used.
using ServiceHandler = int (*)(const std::u16string& uri, const std::u16string& method,
                               const Json::Value& params, void* userData, Json::Value& returnValue);

// Parses the parameter text (null or empty: no parameters), runs the handler and returns
// its answer as compact JSON text ending in a newline. Never fails.
std::string DispatchServiceCall(ServiceHandler handler, void* userData, const std::u16string& uri,
                                const std::u16string& method, const char* paramsText);

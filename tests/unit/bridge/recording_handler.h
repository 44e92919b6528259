#pragma once

// A service handler that records what it was given, in the Seen record passed as its user
// data, and answers the record's return value (null: nothing).

#include "bridge/service_protocol.h"

#include <string>

struct Seen {
  int calls = 0;
  std::u16string uri;
  std::u16string method;
  Json::Value params;
  Json::Value returnValue = Json::Value(Json::nullValue);
};

inline int RecordingHandler(const std::u16string& uri, const std::u16string& method,
                            const Json::Value& params, void* userData, Json::Value& returnValue) {
  auto* seen = static_cast<Seen*>(userData);
  ++seen->calls;
  seen->uri = uri;
  seen->method = method;
  seen->params = params;
  if (!seen->returnValue.isNull()) returnValue = seen->returnValue;
  return 42;
}

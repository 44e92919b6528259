// The call protocol on arbitrary parameter text, with a handler that echoes what it got.

#include "bridge/service_protocol.h"

#include <cstdlib>

namespace {

int Echo(const std::u16string&, const std::u16string&, const Json::Value& params, void*,
         Json::Value& returnValue) {
  returnValue["params"] = params;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string response = DispatchServiceCall(Echo, nullptr, u"u", u"m", text.c_str());
  if (response.empty() || response.back() != '\n' || response.front() != '{') std::abort();
  return 0;
}

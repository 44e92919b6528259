#include "tests/unit/bridge/handle_counter.h"

#include "bridge/script_engine.h"

#include <dlfcn.h>

namespace {

long g_live = 0;
long g_protected = 0;

template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

OpaqueJSString* Counted(OpaqueJSString* string) {
  if (string) ++g_live;
  return string;
}

}  // namespace

namespace string_handles {

long Live() { return g_live; }

}  // namespace string_handles

namespace protected_values {

long Live() { return g_protected; }

}  // namespace protected_values

// These definitions take the place of JavaScriptCore's exported functions of the same
// names for every caller in the executable.
extern "C" {

OpaqueJSString* JSStringCreateWithUTF8CString(const char* text) {
  static auto real = Real<OpaqueJSString* (*)(const char*)>("JSStringCreateWithUTF8CString");
  return Counted(real(text));
}

OpaqueJSString* JSStringCreateWithCharacters(const unsigned short* chars, size_t count) {
  static auto real =
      Real<OpaqueJSString* (*)(const unsigned short*, size_t)>("JSStringCreateWithCharacters");
  return Counted(real(chars, count));
}

OpaqueJSString* JSValueToStringCopy(const OpaqueJSContext* context, const OpaqueJSValue* value,
                                    const OpaqueJSValue** exception) {
  static auto real = Real<OpaqueJSString* (*)(const OpaqueJSContext*, const OpaqueJSValue*,
                                              const OpaqueJSValue**)>("JSValueToStringCopy");
  return Counted(real(context, value, exception));
}

OpaqueJSString* JSStringRetain(OpaqueJSString* string) {
  static auto real = Real<OpaqueJSString* (*)(OpaqueJSString*)>("JSStringRetain");
  return Counted(real(string));
}

void JSStringRelease(OpaqueJSString* string) {
  static auto real = Real<void (*)(OpaqueJSString*)>("JSStringRelease");
  if (string) --g_live;
  real(string);
}

void JSValueProtect(const OpaqueJSContext* context, const OpaqueJSValue* value) {
  static auto real = Real<void (*)(const OpaqueJSContext*, const OpaqueJSValue*)>("JSValueProtect");
  ++g_protected;
  real(context, value);
}

void JSValueUnprotect(const OpaqueJSContext* context, const OpaqueJSValue* value) {
  static auto real =
      Real<void (*)(const OpaqueJSContext*, const OpaqueJSValue*)>("JSValueUnprotect");
  --g_protected;
  real(context, value);
}

}  // extern "C"

#pragma once

// Text between WebKitGTK (UTF-8) and the engine interface (BSTR, UTF-16).

#include "platform/common/native_text.h"
#include "webview/web_engine.h"

#include <string>

namespace webkitgtk {

inline std::u16string Utf16Of(const char* text) {
  return text ? platform::Utf16(text) : std::u16string();
}

inline std::u16string TextOf(BSTR text) {
  return text ? std::u16string(text, SysStringLen(text)) : std::u16string();
}

// A line of debug output (the line feed is added).
inline void DebugLine(const std::string& line) {
  OutputDebugStringW(platform::Utf16(line + "\n").c_str());
}

// A new engine string for the caller, and the result code of handing it out.
inline HRESULT Answer(BSTR* result, const std::u16string& text) {
  if (!result) return E_POINTER;
  *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *result ? S_OK : E_OUTOFMEMORY;
}

}  // namespace webkitgtk

#pragma once

// The engine interface's strings (BSTR, UTF-16) and flags as both engines hand them in
// and out.

#include "webview/web_engine.h"

#include <string>

namespace engine {

// A new engine string holding the text (null when out of memory).
inline BSTR MakeBstr(const std::u16string& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// The text of an engine string; a null string is empty.
inline std::u16string TextOf(BSTR text) {
  return text ? std::u16string(text, SysStringLen(text)) : std::u16string();
}

// A new engine string for the caller, and the result code of handing it out.
inline HRESULT Answer(BSTR* result, const std::u16string& text) {
  if (!result) return E_POINTER;
  *result = MakeBstr(text);
  return *result ? S_OK : E_OUTOFMEMORY;
}

inline HRESULT Answer(BOOL* result, bool value) {
  if (!result) return E_POINTER;
  *result = value ? TRUE : FALSE;
  return S_OK;
}

}  // namespace engine

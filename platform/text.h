#pragma once

// Conversions between the UTF-16 text of the Win32 subset and the UTF-8 text of Linux calls,
// over the subset's own code-page functions: for every layer that talks to both.

#include "platform/win32.h"

#include <string>

namespace platform {

inline std::string Utf8(const std::u16string& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), needed, nullptr, nullptr);
  return result;
}

inline std::u16string Utf16(const std::string& text) {
  if (text.empty()) return std::u16string();
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::u16string result(static_cast<size_t>(needed), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), needed);
  return result;
}

// Copies text and a NUL into a buffer of capacity characters; false when it does not fit.
inline bool CopyToBuffer(const std::u16string& text, LPWSTR buffer, size_t capacity) {
  if (!buffer || text.size() + 1 > capacity) return false;
  text.copy(buffer, text.size());
  buffer[text.size()] = u'\0';
  return true;
}

}  // namespace platform

#pragma once

// Text between WebKitGTK (UTF-8) and the engine interface (BSTR, UTF-16), and debug lines.

#include "engine/engine_strings.h"
#include "platform/text.h"

#include <string>

namespace webkitgtk {

inline std::u16string Utf16Of(const char* text) {
  return text ? platform::Utf16(text) : std::u16string();
}

// A line of debug output (the line feed is added).
inline void DebugLine(const std::string& line) {
  OutputDebugStringW(platform::Utf16(line + "\n").c_str());
}

using engine::Answer;
using engine::TextOf;

}  // namespace webkitgtk

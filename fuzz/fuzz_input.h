#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Splits fuzz input at its first 0xFF byte into two texts (the second may be empty).
inline std::pair<std::string, std::string> SplitFuzzInput(const uint8_t* data, size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t cut = all.find('\xFF');
  if (cut == std::string::npos) return {all, std::string()};
  return {all.substr(0, cut), all.substr(cut + 1)};
}

// Whether text is well-formed UTF-8 (RFC 3629) without NUL characters, i.e. text that
// converts to UTF-16 and back unchanged.
inline bool IsCleanUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned c = p[i];
    size_t length;
    unsigned cp;
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else
      return false;
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    const unsigned minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

#include "engine/remote_script/protocol/text.h"

#include <cstdint>

namespace remote_script {
namespace {

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& output, uint32_t c) {
  if (c < 0x80) {
    output += static_cast<char>(c);
  } else if (c < 0x800) {
    output += static_cast<char>(0xC0 | (c >> 6));
    output += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    output += static_cast<char>(0xE0 | (c >> 12));
    output += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    output += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    output += static_cast<char>(0xF0 | (c >> 18));
    output += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    output += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    output += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code point of the well-formed sequence at text[i] (moving i past it), or -1.
long NextCodePoint(std::string_view text, size_t& i) {
  const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  size_t length = lead < 0x80                    ? 1
                  : lead >= 0xC2 && lead <= 0xDF ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                 : 0;
  if (length == 0 || i + length > text.size()) return -1;
  uint32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return -1;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  i += length;
  return static_cast<long>(c);
}

}  // namespace

std::string Utf8Of(std::u16string_view text) {
  std::string output;
  output.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = 0xFFFD;
    }
    AppendUtf8(output, c);
  }
  return output;
}

bool Utf16Of(std::string_view text, std::u16string& output) {
  output.clear();
  output.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const long c = NextCodePoint(text, i);
    if (c < 0) {
      output.clear();
      return false;
    }
    if (c >= 0x10000) {
      output += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      output += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      output += static_cast<char16_t>(c);
    }
  }
  return true;
}

}  // namespace remote_script

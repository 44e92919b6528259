#include "finder/size_format.h"

#include "finder/text_conversion.h"

#include <cinttypes>
#include <cstdio>

namespace {

struct Unit {
  uint64_t threshold;
  const char* text;
};

constexpr Unit kUnits[] = {
    {1ull << 50, "PB"}, {1ull << 40, "TB"}, {1ull << 30, "GB"},
    {1ull << 20, "MB"}, {1ull << 10, "KB"},
};

// Writes the size text as ASCII into text, which holds 256 characters.
void FormatAscii(char (&text)[256], uint64_t count) {
  for (const Unit& unit : kUnits) {
    if (count < unit.threshold) continue;
    const uint64_t whole = count / unit.threshold;
    const uint64_t rest = count % unit.threshold;
    if (rest == 0) {
      std::snprintf(text, sizeof text, "%" PRIu64 "%s", whole, unit.text);
      return;
    }
    // Hundredths, rounded half up by the thousandths digit; they may reach 100.
    uint64_t hundredths = rest * 100 / unit.threshold;
    if (rest * 1000 / unit.threshold % 10 >= 5) ++hundredths;
    std::snprintf(text, sizeof text, "%.2f%s",
                  static_cast<double>(whole) + static_cast<double>(hundredths) / 100.0, unit.text);
    return;
  }
  std::snprintf(text, sizeof text, "%" PRIu64 "B", count);
}

}  // namespace

void FormatSize(std::u16string& output, uint64_t count) {
  output.clear();
  char text[256] = {};
  FormatAscii(text, count);
  for (const char* c = text; *c; ++c) output.push_back(static_cast<char16_t>(*c));
}

void FormatSizeUtf8(std::string& output, uint64_t count) {
  output.clear();
  std::u16string wide;
  FormatSize(wide, count);
  Utf16ToUtf8(wide, output);
}

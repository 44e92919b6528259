#include "finder/text/size_format.h"

#include "finder/text/text_conversion.h"

#include <charconv>
#include <string>

namespace {

struct Unit {
  uint64_t threshold;
  const char* text;
};

constexpr Unit kUnits[] = {
    {1ull << 50, "PB"}, {1ull << 40, "TB"}, {1ull << 30, "GB"},
    {1ull << 20, "MB"}, {1ull << 10, "KB"},
};

// Decimal digits of a number, whatever the process's locale.
std::string Digits(uint64_t number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return std::string(digits, end);
}

// The size text, in ASCII. It is built from whole numbers only, so no locale can change
// it (a decimal comma, say).
std::string FormatAscii(uint64_t count) {
  for (const Unit& unit : kUnits) {
    if (count < unit.threshold) continue;
    const uint64_t whole = count / unit.threshold;
    const uint64_t rest = count % unit.threshold;
    if (rest == 0) return Digits(whole) + unit.text;
    // Hundredths, rounded half up by the thousandths digit; reaching 100 carries.
    uint64_t hundredths = whole * 100 + rest * 100 / unit.threshold;
    if (rest * 1000 / unit.threshold % 10 >= 5) ++hundredths;
    const uint64_t fraction = hundredths % 100;
    return Digits(hundredths / 100) + (fraction < 10 ? ".0" : ".") + Digits(fraction) + unit.text;
  }
  return Digits(count) + "B";
}

}  // namespace

void FormatSize(std::u16string& output, uint64_t count) {
  const std::string text = FormatAscii(count);
  output.assign(text.begin(), text.end());
}

void FormatSizeUtf8(std::string& output, uint64_t count) {
  output.clear();
  std::u16string wide;
  FormatSize(wide, count);
  Utf16ToUtf8(wide, output);
}

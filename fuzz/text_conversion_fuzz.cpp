// Both conversions on arbitrary input: no crash, and clean text survives a round trip.

#include "finder/text/text_conversion.h"
#include "fuzz/fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string wide;
  if (Utf8ToUtf16(bytes, wide) && IsCleanUtf8(bytes)) {
    std::string back;
    if (!Utf16ToUtf8(wide, back) || back != bytes) std::abort();
  }

  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  std::string narrow;
  if (Utf16ToUtf8(units, narrow)) {
    // Whatever the input, the UTF-8 produced is clean and converts back.
    if (!narrow.empty() && !IsCleanUtf8(narrow)) std::abort();
    std::u16string again;
    if (!narrow.empty() && !Utf8ToUtf16(narrow, again)) std::abort();
  }
  return 0;
}

#include "finder/text/text_conversion.h"

#include "platform/win32.h"

#include <climits>
#include <memory>
#include <new>

namespace {

// A zero-filled buffer, or null when it cannot be had; the conversions report a failed
// allocation as a failed conversion.
template <typename Unit>
std::unique_ptr<Unit[]> ZeroFilled(size_t count) {
  return std::unique_ptr<Unit[]>(new (std::nothrow) Unit[count]());
}

}  // namespace

bool Utf8ToUtf16(const std::string& input, std::u16string& output) {
  if (input.empty() || input.size() >= INT_MAX) return false;
  const int count = static_cast<int>(input.size());
  // n UTF-8 bytes never give more than n UTF-16 code units; the extra unit keeps a NUL.
  auto buffer = ZeroFilled<WCHAR>(input.size() + 1);
  if (!buffer) return false;
  if (MultiByteToWideChar(CP_UTF8, 0, input.data(), count, buffer.get(), count + 1) == 0) {
    return false;
  }
  output.assign(buffer.get());
  return true;
}

bool Utf16ToUtf8(const std::u16string& input, std::string& output) {
  if (input.empty() || input.size() >= INT_MAX) return false;
  const int count = static_cast<int>(input.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, input.data(), count, nullptr, 0, nullptr, nullptr);
  if (needed == 0) return false;
  auto buffer = ZeroFilled<CHAR>(static_cast<size_t>(needed) + 1);
  if (!buffer) return false;
  if (WideCharToMultiByte(CP_UTF8, 0, input.data(), count, buffer.get(), needed, nullptr,
                          nullptr) == 0) {
    return false;
  }
  output.assign(buffer.get());
  return true;
}

std::u16string Utf16Of(const std::string& input) {
  std::u16string output;
  Utf8ToUtf16(input, output);
  return output;
}

std::string Utf8Of(const std::u16string& input) {
  std::string output;
  Utf16ToUtf8(input, output);
  return output;
}

std::string Utf8Of(const char16_t* input) { return input ? Utf8Of(std::u16string(input)) : ""; }

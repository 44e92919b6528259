// MultiByteToWideChar and WideCharToMultiByte for the UTF-8 code page.

#include "platform/win32.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Collects output code units, counting them all but storing only while they fit, so that
// one pass serves both the size query (no buffer) and the conversion.
template <typename Unit>
class UnitSink {
 public:
  UnitSink(Unit* buffer, int capacity) : m_buffer(buffer), m_capacity(capacity) {}

  void Put(Unit unit) {
    if (m_buffer && m_count < m_capacity) m_buffer[m_count] = unit;
    ++m_count;
  }
  size_t Count() const { return m_count; }

 private:
  Unit* m_buffer;
  size_t m_capacity;
  size_t m_count = 0;
};

void PutUtf16(UnitSink<WCHAR>& sink, char32_t cp) {
  if (cp < 0x10000) {
    sink.Put(static_cast<WCHAR>(cp));
    return;
  }
  cp -= 0x10000;
  sink.Put(static_cast<WCHAR>(0xD800 + (cp >> 10)));
  sink.Put(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
}

void PutUtf8(UnitSink<CHAR>& sink, char32_t cp) {
  if (cp < 0x80) {
    sink.Put(static_cast<CHAR>(cp));
  } else if (cp < 0x800) {
    sink.Put(static_cast<CHAR>(0xC0 | (cp >> 6)));
    sink.Put(static_cast<CHAR>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    sink.Put(static_cast<CHAR>(0xE0 | (cp >> 12)));
    sink.Put(static_cast<CHAR>(0x80 | ((cp >> 6) & 0x3F)));
    sink.Put(static_cast<CHAR>(0x80 | (cp & 0x3F)));
  } else {
    sink.Put(static_cast<CHAR>(0xF0 | (cp >> 18)));
    sink.Put(static_cast<CHAR>(0x80 | ((cp >> 12) & 0x3F)));
    sink.Put(static_cast<CHAR>(0x80 | ((cp >> 6) & 0x3F)));
    sink.Put(static_cast<CHAR>(0x80 | (cp & 0x3F)));
  }
}

// The shape of a sequence that starts with a given lead byte: how many continuation bytes
// follow and the range allowed for the first of them (which excludes overlong forms,
// surrogates and values above U+10FFFF).
struct LeadByte {
  int continuations;
  unsigned char firstLow;
  unsigned char firstHigh;
  char32_t bits;
};

bool ClassifyLead(unsigned char lead, LeadByte& shape) {
  if (lead >= 0xC2 && lead <= 0xDF)
    shape = {1, 0x80, 0xBF, lead & 0x1Fu};
  else if (lead == 0xE0)
    shape = {2, 0xA0, 0xBF, 0};
  else if (lead == 0xED)
    shape = {2, 0x80, 0x9F, 0xD};
  else if (lead >= 0xE1 && lead <= 0xEF)
    shape = {2, 0x80, 0xBF, lead & 0x0Fu};
  else if (lead == 0xF0)
    shape = {3, 0x90, 0xBF, 0};
  else if (lead >= 0xF1 && lead <= 0xF3)
    shape = {3, 0x80, 0xBF, lead & 0x07u};
  else if (lead == 0xF4)
    shape = {3, 0x80, 0x8F, 4};
  else
    return false;
  return true;
}

// Decodes one sequence at text[i] and advances i past it. An ill-formed sequence yields
// U+FFFD and consumes only its maximal well-formed prefix (at least one byte).
char32_t DecodeUtf8(const unsigned char* text, size_t length, size_t& i) {
  const unsigned char lead = text[i++];
  if (lead < 0x80) return lead;
  LeadByte shape;
  if (!ClassifyLead(lead, shape)) return kReplacement;
  char32_t cp = shape.bits;
  for (int k = 0; k < shape.continuations; ++k) {
    const unsigned char low = k == 0 ? shape.firstLow : 0x80;
    const unsigned char high = k == 0 ? shape.firstHigh : 0xBF;
    if (i >= length || text[i] < low || text[i] > high) return kReplacement;
    cp = (cp << 6) | (text[i++] & 0x3F);
  }
  return cp;
}

// Decodes one UTF-16 code point at text[i]; an unpaired surrogate yields U+FFFD.
char32_t DecodeUtf16(const WCHAR* text, size_t length, size_t& i) {
  const char32_t unit = text[i++];
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit <= 0xDBFF && i < length && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
    return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  return kReplacement;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// Checks the arguments common to both directions and resolves a count of -1 (the input
// is NUL-terminated, and the NUL is converted too). Returns false after SetLastError.
template <typename In, typename Out>
bool CheckArguments(UINT codePage, DWORD flags, const In* input, int& inputCount, Out* output,
                    int outputCount) {
  if (codePage != CP_UTF8 || !input || inputCount == 0 || inputCount < -1 || outputCount < 0 ||
      (outputCount > 0 && !output)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (flags != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return false;
  }
  if (inputCount == -1) {
    size_t length = 0;
    while (input[length] != 0) ++length;
    if (length >= 0x7FFFFFFF) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    inputCount = static_cast<int>(length) + 1;
  }
  return true;
}

// The converted length when it fits (or no buffer was given), else the Win32 failure.
template <typename Unit>
int Finish(const UnitSink<Unit>& sink, int outputCount) {
  if (sink.Count() > 0x7FFFFFFF) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (outputCount > 0 && sink.Count() > static_cast<size_t>(outputCount)) {
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  return static_cast<int>(sink.Count());
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByte, int multiByteCount,
                        LPWSTR wideChar, int wideCharCount) {
  if (!CheckArguments(codePage, flags, multiByte, multiByteCount, wideChar, wideCharCount)) {
    return 0;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(multiByte);
  const size_t length = static_cast<size_t>(multiByteCount);
  UnitSink<WCHAR> sink(wideChar, wideCharCount);
  for (size_t i = 0; i < length;) PutUtf16(sink, DecodeUtf8(bytes, length, i));
  return Finish(sink, wideCharCount);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideChar, int wideCharCount,
                        LPSTR multiByte, int multiByteCount, LPCCH defaultChar,
                        LPBOOL usedDefaultChar) {
  if (defaultChar || usedDefaultChar) return Fail(ERROR_INVALID_PARAMETER);
  if (!CheckArguments(codePage, flags, wideChar, wideCharCount, multiByte, multiByteCount)) {
    return 0;
  }
  const size_t length = static_cast<size_t>(wideCharCount);
  UnitSink<CHAR> sink(multiByte, multiByteCount);
  for (size_t i = 0; i < length;) PutUtf8(sink, DecodeUtf16(wideChar, length, i));
  return Finish(sink, multiByteCount);
}

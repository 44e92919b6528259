// OLE initialisation and engine strings (BSTR: a 32-bit byte length, then the UTF-16
// text and a NUL; the handle points at the text).

#include "platform/layer_records.h"

#include <cstring>
#include <new>

namespace {

int g_oleInitializations = 0;

}  // namespace

int platform::OleInitializationCount() { return g_oleInitializations; }

HRESULT OleInitialize(LPVOID) { return g_oleInitializations++ == 0 ? S_OK : S_FALSE; }

void OleUninitialize() {
  if (g_oleInitializations > 0) --g_oleInitializations;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > 0x7FFFFFF0u / sizeof(OLECHAR)) return nullptr;
  const size_t bytes = sizeof(uint32_t) + (length + 1) * sizeof(OLECHAR);
  auto* block = static_cast<uint8_t*>(::operator new(bytes, std::nothrow));
  if (!block) return nullptr;
  const uint32_t byteLength = length * sizeof(OLECHAR);
  std::memcpy(block, &byteLength, sizeof byteLength);
  auto* characters = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
  if (text) {
    std::memcpy(characters, text, length * sizeof(OLECHAR));
  } else {
    std::memset(characters, 0, length * sizeof(OLECHAR));
  }
  characters[length] = u'\0';
  return characters;
}

BSTR SysAllocString(LPCOLESTR text) {
  if (!text) return nullptr;
  UINT length = 0;
  while (text[length]) ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (text) ::operator delete(reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t));
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  uint32_t byteLength = 0;
  std::memcpy(&byteLength, reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t), sizeof byteLength);
  return byteLength / sizeof(OLECHAR);
}

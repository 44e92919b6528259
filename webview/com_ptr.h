#pragma once

// Small owners for what the engine hands out: a COM reference and an engine string. Each
// releases what it holds when it goes out of scope.

#include "webview/web_engine.h"

#include <string>
#include <utility>

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr& other) : m_pointer(other.m_pointer) {
    if (m_pointer) m_pointer->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(m_pointer, other.m_pointer);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* pointer) {
    ComPtr result;
    result.m_pointer = pointer;
    return result;
  }
  // Takes a reference of its own.
  static ComPtr Share(T* pointer) {
    if (pointer) pointer->AddRef();
    return Adopt(pointer);
  }

  T* Get() const { return m_pointer; }
  T* operator->() const { return m_pointer; }
  explicit operator bool() const { return m_pointer != nullptr; }
  // The place for an out parameter; what was held is released first.
  T** Receive() {
    Reset();
    return &m_pointer;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (T* pointer = std::exchange(m_pointer, nullptr)) pointer->Release();
  }

 private:
  T* m_pointer = nullptr;
};

// An engine string (BSTR) owned by the holder.
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(const std::u16string& text) : m_text(SysAllocString(text.c_str())) {}
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr() { SysFreeString(m_text); }

  BSTR Get() const { return m_text; }
  // The place for an out parameter; what was held is freed first.
  BSTR* Receive() {
    SysFreeString(std::exchange(m_text, nullptr));
    return &m_text;
  }
  // The text, up to its length; empty for a null string.
  std::u16string Text() const {
    return m_text ? std::u16string(m_text, SysStringLen(m_text)) : std::u16string();
  }

 private:
  BSTR m_text = nullptr;
};

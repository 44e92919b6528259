#pragma once

// One owned reference to a GObject, released when the holder goes, so members never need
// an unref at each exit. A floating reference handed in is sunk, so the holder owns it.

#include <glib-object.h>

#include <utility>

template <typename T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  explicit GObjectPtr(T* object) : m_object(object) {
    if (m_object && g_object_is_floating(m_object)) g_object_ref_sink(m_object);
  }
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  GObjectPtr(GObjectPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& other) noexcept {
    Reset(std::exchange(other.m_object, nullptr));
    return *this;
  }
  ~GObjectPtr() { Reset(); }

  T* Get() const { return m_object; }
  explicit operator bool() const { return m_object != nullptr; }
  void Reset(T* object = nullptr) {
    if (T* old = std::exchange(m_object, object)) g_object_unref(old);
  }

 private:
  T* m_object = nullptr;
};

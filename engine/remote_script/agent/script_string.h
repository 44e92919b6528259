#pragma once

// The agent's one holder of JavaScriptCore strings, and their text.

#include <JavaScriptCore/JavaScript.h>

#include <string>

namespace page_agent {

// A JavaScriptCore string of the text, released when the holder goes.
class ScriptString {
 public:
  explicit ScriptString(const std::u16string& text)
      : m_string(JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.data()),
                                              text.size())) {}
  // Takes over a string the caller was handed (null is allowed).
  explicit ScriptString(JSStringRef adopted) : m_string(adopted) {}
  ~ScriptString() {
    if (m_string) JSStringRelease(m_string);
  }
  ScriptString(const ScriptString&) = delete;
  ScriptString& operator=(const ScriptString&) = delete;
  JSStringRef Get() const { return m_string; }

 private:
  JSStringRef m_string;
};

// The UTF-16 text of a string; empty for null.
inline std::u16string TextOf(JSStringRef string) {
  if (!string) return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(string)),
                        JSStringGetLength(string));
}

}  // namespace page_agent

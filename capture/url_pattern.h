#pragma once

// A POSIX extended regular expression matched anywhere in a text (grep -E's dialect).

#include <regex.h>

#include <string>

class UrlPattern {
 public:
  UrlPattern() = default;
  UrlPattern(const UrlPattern&) = delete;
  UrlPattern& operator=(const UrlPattern&) = delete;
  ~UrlPattern();

  // False with the reason when the pattern does not compile.
  bool Compile(const std::string& pattern, std::string& error);
  bool Matches(const std::string& text) const;

 private:
  regex_t m_regex{};
  bool m_compiled = false;
};

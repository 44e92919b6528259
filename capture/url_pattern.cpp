#include "capture/url_pattern.h"

UrlPattern::~UrlPattern() {
  if (m_compiled) regfree(&m_regex);
}

bool UrlPattern::Compile(const std::string& pattern, std::string& error) {
  if (m_compiled) regfree(&m_regex);
  const int result = regcomp(&m_regex, pattern.c_str(), REG_EXTENDED | REG_NOSUB);
  m_compiled = result == 0;
  if (!m_compiled) {
    char reason[256] = {};
    regerror(result, &m_regex, reason, sizeof reason);
    error = reason;
  }
  return m_compiled;
}

bool UrlPattern::Matches(const std::string& text) const {
  return m_compiled && regexec(&m_regex, text.c_str(), 0, nullptr, 0) == 0;
}

#include "finder/records/cookies.h"

#include "finder/text/ascii_case.h"

#include <algorithm>

namespace {

constexpr size_t kMostCookies = 200;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

bool ParseSetCookie(const std::string& line, Cookie& cookie) {
  cookie = Cookie();
  size_t start = 0;
  bool first = true;
  while (start <= line.size()) {
    size_t end = line.find(';', start);
    if (end == std::string::npos) end = line.size();
    const std::string part = line.substr(start, end - start);
    start = end + 1;
    const size_t equals = part.find('=');
    const std::string name = Trimmed(part.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : Trimmed(part.substr(equals + 1));
    if (first) {
      if (equals == std::string::npos || name.empty()) return false;
      cookie.name = name;
      cookie.value = value;
      first = false;
      continue;
    }
    const std::string attribute = AsciiLower(name);
    if (attribute == "path") {
      cookie.path = value;
    } else if (attribute == "domain") {
      cookie.domain = value;
    } else if (attribute == "expires") {
      cookie.expires = value;
    } else if (attribute == "samesite") {
      const std::string policy = AsciiLower(value);
      cookie.sameSite = policy == "strict" ? "Strict"
                        : policy == "lax"  ? "Lax"
                        : policy == "none" ? "None"
                                           : "";
    } else if (attribute == "httponly") {
      cookie.httpOnly = true;
    } else if (attribute == "secure") {
      cookie.secure = true;
    }
  }
  return true;
}

std::vector<Cookie> ParseCookieLines(const std::string& lines) {
  std::vector<Cookie> cookies;
  size_t start = 0;
  while (start < lines.size() && cookies.size() < kMostCookies) {
    size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    Cookie cookie;
    if (ParseSetCookie(lines.substr(start, end - start), cookie)) cookies.push_back(cookie);
    start = end + 1;
  }
  return cookies;
}

std::string CookieHeaderOf(const std::vector<Cookie>& cookies) {
  std::string header;
  for (const Cookie& cookie : cookies) {
    header += (header.empty() ? "" : "; ") + cookie.name + "=" + cookie.value;
  }
  return header;
}

#pragma once

// Cookies as a session or a server states them: Set-Cookie lines read into their parts,
// for the request records and the formats made of them (HAR's cookies, the Cookie header).

#include <string>
#include <vector>

struct Cookie {
  std::string name;
  std::string value;
  std::string path;
  std::string domain;
  std::string expires;   // as the line gives it (an HTTP date); empty for a session cookie
  std::string sameSite;  // "Strict", "Lax", "None", or empty when the line says nothing
  bool httpOnly = false;
  bool secure = false;
};

// One Set-Cookie line ("a=1; Path=/; HttpOnly"); false for a line without a name=value pair.
bool ParseSetCookie(const std::string& line, Cookie& cookie);
// Lines of Set-Cookie values, one per line (ended by CR LF or LF); at most 200 are kept.
std::vector<Cookie> ParseCookieLines(const std::string& lines);
// The cookies as a Cookie header's value: "a=1; b=2".
std::string CookieHeaderOf(const std::vector<Cookie>& cookies);

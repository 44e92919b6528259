#include "finder/text/web_address.h"

#include "finder/text/ascii_case.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

int DefaultPort(const std::string& scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "ftp") return 21;
  return -1;
}

// The length of a valid scheme at the start of the text, before its ":"; 0 for none.
size_t SchemeLength(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0 ||
      !std::isalpha(static_cast<unsigned char>(url[0]))) {
    return 0;
  }
  for (size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(url[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return colon;
}

// Whether a byte may stand as it is in a path or query as WebKit sends it.
bool Kept(unsigned char c, bool query) {
  if (c <= 0x20 || c >= 0x7F) return false;
  if (c == '"' || c == '<' || c == '>') return false;
  if (!query && (c == '`' || c == '{' || c == '}')) return false;
  return true;
}

// The text with each byte that `keep` refuses percent-encoded.
template <typename Keep>
std::string Encoded(const std::string& text, Keep keep) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (keep(text, i)) {
      out += text[i];
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string Encoded(const std::string& text, bool query) {
  return Encoded(text, [query](const std::string& all, size_t i) {
    return Kept(static_cast<unsigned char>(all[i]), query);
  });
}

// Whether the byte at i may stand as it is in a URI: a character of RFC 3986's, a '%' that
// starts an escape, and the first '#' only.
bool KeptInUri(const std::string& text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c)) return false;
  if (c == '%') {
    return i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
           std::isxdigit(static_cast<unsigned char>(text[i + 2]));
  }
  return c != '#' || text.find('#') == i;
}

// Whether the address, up to its fragment, has a query.
bool HasQuery(const std::string& url) {
  return url.substr(0, url.find('#')).find('?') != std::string::npos;
}

}  // namespace

bool ParseWebAddress(const std::string& url, WebAddress& address) {
  address = WebAddress();
  const size_t schemeLength = SchemeLength(url);
  if (!schemeLength) return false;
  address.scheme = AsciiLower(url.substr(0, schemeLength));
  std::string rest = url.substr(schemeLength + 1);
  rest = rest.substr(0, rest.find('#'));
  address.authority = rest.compare(0, 2, "//") == 0;
  if (address.authority) {
    const size_t end = std::min(rest.find_first_of("/?", 2), rest.size());
    std::string authority = rest.substr(2, end - 2);
    rest = rest.substr(end);
    authority =
        authority.substr(authority.rfind('@') == std::string::npos ? 0 : authority.rfind('@') + 1);
    const size_t bracket = authority.rfind(']');
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
      const std::string port = authority.substr(colon + 1);
      authority = authority.substr(0, colon);
      if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
          return false;
        }
        address.port = std::atoi(port.c_str());
      }
    }
    // A host may not hold what would end it or start another part (an address's own
    // brackets aside).
    const bool bracketed = !authority.empty() && authority.front() == '[';
    const std::string forbidden =
        bracketed ? std::string(" #/<>?@\\^|%\0", 12) : std::string(" #/:<>?@[\\]^|%\0", 15);
    if ((bracketed && authority.back() != ']') ||
        authority.find_first_of(forbidden) != std::string::npos ||
        std::any_of(authority.begin(), authority.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
      return false;
    }
    address.host = AsciiLower(authority);
    if (address.port < 0) address.port = DefaultPort(address.scheme);
  }
  const size_t question = rest.find('?');
  address.path = rest.substr(0, question);
  if (question != std::string::npos) address.query = rest.substr(question + 1);
  if (address.authority && address.path.empty()) address.path = "/";
  return true;
}

bool IsHttpAddress(const std::string& url) {
  WebAddress address;
  return ParseWebAddress(url, address) && (address.scheme == "http" || address.scheme == "https") &&
         !address.host.empty();
}

std::string OriginOf(const std::string& url) {
  WebAddress address;
  if (!ParseWebAddress(url, address) || !address.authority || address.host.empty()) return "";
  const bool defaultPort = address.port == DefaultPort(address.scheme);
  return address.scheme + "://" + address.host +
         (defaultPort || address.port < 0 ? "" : ":" + std::to_string(address.port));
}

std::string ReferrerForm(const std::string& url) {
  WebAddress address;
  if (!ParseWebAddress(url, address) || !address.authority || address.host.empty()) return "";
  if (address.scheme != "http" && address.scheme != "https") return "";
  return OriginOf(url) + address.path + (HasQuery(url) ? "?" + address.query : "");
}

std::string UriForm(const std::string& url) { return Encoded(url, KeptInUri); }

std::string SentForm(const std::string& url) {
  WebAddress address;
  if (!ParseWebAddress(url, address) || OriginOf(url).empty()) return url;
  const size_t hash = url.find('#');
  return OriginOf(url) + Encoded(address.path, false) +
         (HasQuery(url) ? "?" + Encoded(address.query, true) : "") +
         (hash == std::string::npos ? "" : url.substr(hash));
}

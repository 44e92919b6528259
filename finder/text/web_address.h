#pragma once

// Web addresses taken apart as browsers take them (scheme, host, port, path and query):
// their origin, the form a Referer may carry and the form WebKit sends them in. Addresses
// come from the web: one that does not parse is said so.

#include <string>

struct WebAddress {
  std::string scheme;      // lower case
  std::string host;        // lower case
  int port = -1;           // the port as given, or the scheme's default; -1 for none
  std::string path;        // from the first "/" after the host (or the whole rest, opaque)
  std::string query;       // without its "?"
  bool authority = false;  // "scheme://host..."
};

// False for a text without a scheme.
bool ParseWebAddress(const std::string& url, WebAddress& address);
// Whether the address is http or https.
bool IsHttpAddress(const std::string& url);
// "scheme://host[:port]" of an address with a host, or empty (an opaque origin).
std::string OriginOf(const std::string& url);
// The address as a Referer carries it: without its fragment and user information; empty
// for an address that may not be one (data:, blob:, about:, file: and the like).
std::string ReferrerForm(const std::string& url);
// The address as WebKit sends it: scheme and host in lower case, the default port left
// out, and in the path and query the characters a URL may not hold as they are
// percent-encoded (a space as %20, non-ASCII bytes as %XX); what is already encoded stays.
std::string SentForm(const std::string& url);
// The address as a URI (RFC 3986) may hold it, as a HAR file must: each byte no URI holds
// as it is percent-encoded (spaces, quotes, angle brackets, non-ASCII bytes, a '%' that
// starts no escape, a second '#'); the rest stays.
std::string UriForm(const std::string& url);

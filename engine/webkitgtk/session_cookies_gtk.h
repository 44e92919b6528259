#pragma once

// The cookies a web view's session would send with a request, read from its
// WebKitCookieManager: those it holds for the address, less the Secure ones over http and,
// when the address is on another site than the page the request is made for, those whose
// SameSite policy withholds them.

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace webkitgtk {

// What a request would carry: the Cookie header's value ("a=1; b=2") and the same cookies
// one per line as Set-Cookie writes them, each ended by CR LF. Both empty for none, or
// when the session cannot tell or the read was cancelled.
struct RequestCookies {
  std::string header;
  std::string lines;
};

// Asks the session the cookie manager belongs to for the cookies of a request of the URL
// made for the page at `page` (empty: a request of the page itself); `heard` gets them
// later, never during this call.
void ReadRequestCookies(WebKitCookieManager* cookies, const std::string& url,
                        const std::string& page, GCancellable* cancellable,
                        std::function<void(const RequestCookies&)> heard);

// Whether the two addresses are on the same site (the same registrable domain).
bool SameSite(const std::string& a, const std::string& b);

}  // namespace webkitgtk

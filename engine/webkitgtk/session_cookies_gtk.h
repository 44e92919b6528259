#pragma once

// The Cookie header a web view's session would send to an address, read from its
// WebKitCookieManager.

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace webkitgtk {

// Asks the session the cookie manager belongs to; `heard` gets the header's value ("a=1; b=2",
// empty for none or when the session cannot tell or the read was cancelled) later, never during
// this call.
void ReadSessionCookies(WebKitCookieManager* cookies, const std::string& url,
                        GCancellable* cancellable,
                        std::function<void(const std::string& header)> heard);

}  // namespace webkitgtk

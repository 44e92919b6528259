#pragma once

// What a page may ask for beyond its own window, decided without asking the user, so that no
// page opens windows of WebKit's own or writes to the user's disk: printing shows nothing,
// file choosers are cancelled, permission requests are denied, full screen is refused, a
// page that asks before it is left is left, and every download is cancelled before it writes
// anything (its response is listed like any other). Prompts keep WebKit's own dialog, which
// lies inside the page's view.

#include <webkit2/webkit2.h>

namespace webkitgtk {

void DecidePageRequests(WebKitWebView* view);
void RefuseDownloads(WebKitWebContext* context);

}  // namespace webkitgtk

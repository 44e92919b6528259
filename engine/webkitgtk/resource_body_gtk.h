#pragma once

// The body of a resource a web view loaded, as its web process kept it, for a listener.

#include "webview/web_engine.h"

#include <webkit2/webkit2.h>

namespace webkitgtk {

// Reads the finished resource's body; the listener hears the bytes later, or none when the
// view kept none or they are more than mostBytes.
void ReadResourceBody(WebKitWebResource* resource, unsigned long identifier, UINT mostBytes,
                      IWebResourceBodyListener* listener);
// Tells the listener, from the main loop, that there is no body.
void TellNoBody(unsigned long identifier, IWebResourceBodyListener* listener);

}  // namespace webkitgtk

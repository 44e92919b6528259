#pragma once

// What WebKitGTK cannot play on this machine, read from GStreamer's registry of decoders.

#include <string>

namespace webkitgtk {

// The H.264 and AAC decoders that are missing, said for a person with the package that
// brings them; empty when both are there or GStreamer cannot be asked.
std::string MissingDecoders();

}  // namespace webkitgtk

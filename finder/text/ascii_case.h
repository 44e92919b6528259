#pragma once

// Case rules of protocol texts (schemes, hosts, header names and values, types, extensions):
// ASCII letters only, whatever the locale.

#include <string>
#include <string_view>

// The text with A to Z made a to z; every other byte as it is.
std::string AsciiLower(std::string_view text);

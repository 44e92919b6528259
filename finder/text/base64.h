#pragma once

// Base64, as data: addresses and the page's previews carry bytes.

#include <string>
#include <string_view>

// Base64 with white space left out, "=" padding optional, and the URL alphabet's "-" and "_"
// taken too; false for other characters.
bool Base64Decoded(const std::string& text, std::string& bytes);
// The bytes in the standard alphabet, padded.
std::string Base64Encoded(std::string_view bytes);

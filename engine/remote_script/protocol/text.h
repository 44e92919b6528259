#pragma once

// The one conversion between UTF-8 and UTF-16 that both sides of the protocol use.

#include <string>
#include <string_view>

namespace remote_script {

// The UTF-8 form of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string Utf8Of(std::u16string_view text);
// The UTF-16 form of UTF-8 text; false (and the output empty) for text that is not
// well-formed UTF-8, as JavaScriptCore gives the empty string for it.
bool Utf16Of(std::string_view text, std::u16string& output);

}  // namespace remote_script

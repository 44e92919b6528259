#pragma once

#include <string>

// UTF-8 <-> UTF-16 through the platform's code-page conversion. Both fail on an empty
// input (or when the platform fails) and then leave the output as it was; on success the
// output holds the converted text up to its first NUL.
bool Utf8ToUtf16(const std::string& input, std::u16string& output);
bool Utf16ToUtf8(const std::u16string& input, std::string& output);
// The same, answering the text: empty when the input is empty or does not convert.
std::u16string Utf16Of(const std::string& input);
std::string Utf8Of(const std::u16string& input);
// An engine's string (up to its first NUL) as UTF-8; empty for a null one.
std::string Utf8Of(const char16_t* input);

#pragma once

// A data: address's bytes, which a save writes without fetching anything.

#include <string>

// The bytes and MIME type a data: address holds (base64 or percent-encoded); false for an
// address that is not a well-formed data: one.
bool DecodeDataUrl(const std::string& url, std::string& mimeType, std::string& bytes);

#include "finder/records/data_url.h"

#include "finder/text/file_names.h"

#include <cctype>

namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;
  if (c == '/' || c == '_') return 63;
  return -1;
}

// Base64 with white space left out and "=" padding optional; false for other characters.
bool Base64Decoded(const std::string& text, std::string& bytes) {
  unsigned buffer = 0;
  int bits = 0;
  size_t padding = 0;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding) return false;
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return padding <= 2;
}

}  // namespace

bool DecodeDataUrl(const std::string& url, std::string& mimeType, std::string& bytes) {
  bytes.clear();
  if (url.size() < 5 || (url.compare(0, 5, "data:") != 0 && url.compare(0, 5, "DATA:") != 0)) {
    return false;
  }
  const size_t comma = url.find(',', 5);
  if (comma == std::string::npos) return false;
  std::string header = url.substr(5, comma - 5);
  const std::string data = PercentDecoded(url.substr(comma + 1, url.find('#', comma) - comma - 1));
  const std::string marker = ";base64";
  const bool base64 = header.size() >= marker.size() &&
                      header.compare(header.size() - marker.size(), marker.size(), marker) == 0;
  if (base64) header.erase(header.size() - marker.size());
  mimeType = header.empty() || header[0] == ';' ? "text/plain" + header : header;
  if (!base64) {
    bytes = data;
    return true;
  }
  return Base64Decoded(data, bytes);
}

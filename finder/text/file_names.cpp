#include "finder/text/file_names.h"

#include "finder/text/ascii_case.h"
#include "finder/text/web_address.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kLongestName = 255;
constexpr size_t kLongestExtension = 16;

struct TypeExtension {
  const char* type;
  const char* extension;
};

constexpr TypeExtension kExtensions[] = {
    {"text/html", ".html"},
    {"application/xhtml+xml", ".xhtml"},
    {"text/css", ".css"},
    {"text/javascript", ".js"},
    {"application/javascript", ".js"},
    {"application/json", ".json"},
    {"text/plain", ".txt"},
    {"text/xml", ".xml"},
    {"application/xml", ".xml"},
    {"image/png", ".png"},
    {"image/jpeg", ".jpg"},
    {"image/gif", ".gif"},
    {"image/webp", ".webp"},
    {"image/avif", ".avif"},
    {"image/svg+xml", ".svg"},
    {"image/x-icon", ".ico"},
    {"image/vnd.microsoft.icon", ".ico"},
    {"video/mp4", ".mp4"},
    {"video/webm", ".webm"},
    {"video/mp2t", ".ts"},
    {"video/x-matroska", ".mkv"},
    {"audio/mpeg", ".mp3"},
    {"audio/mp4", ".m4a"},
    {"audio/aac", ".aac"},
    {"audio/ogg", ".ogg"},
    {"audio/wav", ".wav"},
    {"audio/webm", ".weba"},
    {"font/woff2", ".woff2"},
    {"font/woff", ".woff"},
    {"font/ttf", ".ttf"},
    {"font/otf", ".otf"},
    {"application/pdf", ".pdf"},
    {"application/zip", ".zip"},
    {"application/wasm", ".wasm"},
    {"application/vnd.apple.mpegurl", ".m3u8"},
    {"application/x-mpegurl", ".m3u8"},
    {"audio/mpegurl", ".m3u8"},
    {"application/dash+xml", ".mpd"},
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of the UTF-8 character starting at the byte, or 0 when it is not a valid one.
size_t CharacterLength(const std::string& text, size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  const size_t length = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
  if (!length || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Control characters (C0, DEL and the C1 range), separators and invalid UTF-8 as "_".
std::string WithoutControls(const std::string& name) {
  std::string out;
  for (size_t at = 0; at < name.size();) {
    const size_t length = CharacterLength(name, at);
    const auto c = static_cast<unsigned char>(name[at]);
    const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(name[at + 1]) < 0xA0;
    if (!length || c < 0x20 || c == 0x7F || c1 || c == '/' || c == '\\') {
      out += '_';
      at += length ? length : 1;
    } else {
      out.append(name, at, length);
      at += length;
    }
  }
  return out;
}

bool IsReservedDevice(const std::string& name) {
  const std::string stem = AsciiLower(name.substr(0, name.find('.')));
  static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

// The name cut to the longest allowed, keeping a short extension and whole characters.
std::string Shortened(const std::string& name) {
  if (name.size() <= kLongestName) return name;
  const size_t dot = name.rfind('.');
  const std::string extension =
      dot != std::string::npos && dot > 0 && name.size() - dot <= kLongestExtension
          ? name.substr(dot)
          : "";
  size_t keep = kLongestName - extension.size();
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  return name.substr(0, keep) + extension;
}

// A quoted-string's content, its backslash escapes taken out; or a token as it stands.
std::string ParameterValue(const std::string& value) {
  if (value.empty() || value[0] != '"') return value;
  std::string out;
  for (size_t i = 1; i < value.size() && value[i] != '"'; ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    out += value[i];
  }
  return out;
}

// RFC 8187's ext-value: charset'language'percent-encoded, UTF-8 or ISO-8859-1.
std::string ExtendedValue(const std::string& value) {
  const size_t first = value.find('\'');
  const size_t second = first == std::string::npos ? first : value.find('\'', first + 1);
  if (second == std::string::npos) return std::string();
  const std::string charset = AsciiLower(value.substr(0, first));
  const std::string bytes = PercentDecoded(value.substr(second + 1));
  if (charset == "utf-8") return bytes;
  if (charset != "iso-8859-1") return std::string();
  std::string utf8;
  for (const char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    if (c < 0x80) {
      utf8 += byte;
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

// The file name a Content-Disposition value gives, or empty.
std::string DispositionName(const std::string& header) {
  std::string plain;
  std::string extended;
  size_t at = header.find(';');
  while (at != std::string::npos && at < header.size()) {
    const size_t start = at + 1;
    // A quoted value may hold ";".
    size_t end = start;
    bool quoted = false;
    while (end < header.size() && (quoted || header[end] != ';')) {
      if (header[end] == '\\' && quoted)
        ++end;
      else if (header[end] == '"')
        quoted = !quoted;
      ++end;
    }
    const std::string parameter = header.substr(start, end - start);
    const size_t equals = parameter.find('=');
    if (equals != std::string::npos) {
      std::string name = AsciiLower(parameter.substr(0, equals));
      name.erase(std::remove_if(name.begin(), name.end(), ::isspace), name.end());
      std::string value = parameter.substr(equals + 1);
      value.erase(0, value.find_first_not_of(" \t"));
      value.erase(value.find_last_not_of(" \t") + 1);
      if (name == "filename*") extended = ExtendedValue(value);
      if (name == "filename") plain = ParameterValue(value);
    }
    at = end < header.size() ? end : std::string::npos;
  }
  return extended.empty() ? plain : extended;
}

std::string BareType(const std::string& mimeType) {
  std::string type = AsciiLower(mimeType.substr(0, mimeType.find(';')));
  type.erase(0, type.find_first_not_of(" \t"));
  type.erase(type.find_last_not_of(" \t") + 1);
  return type;
}

}  // namespace

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string ExtensionForType(const std::string& mimeType) {
  const std::string type = BareType(mimeType);
  for (const TypeExtension& known : kExtensions) {
    if (type == known.type) return known.extension;
  }
  return std::string();
}

std::string SafeFileName(const std::string& name) {
  std::string safe = WithoutControls(name);
  safe.erase(0, safe.find_first_not_of(". "));
  safe.erase(safe.find_last_not_of(". ") + 1);
  if (safe.empty()) return safe;
  if (IsReservedDevice(safe)) safe = "_" + safe;
  return Shortened(safe);
}

std::string SaveFileName(const std::string& url, const std::string& contentDisposition,
                         const std::string& mimeType) {
  std::string name = SafeFileName(DispositionName(contentDisposition));
  if (name.empty()) {
    WebAddress address;
    // Only an address with a host has a path of file names (not data: or blob:).
    const std::string path =
        ParseWebAddress(url, address) && address.authority ? address.path : std::string();
    name = SafeFileName(PercentDecoded(path.substr(path.rfind('/') + 1)));
  }
  const std::string extension = ExtensionForType(mimeType);
  if (name.empty()) name = extension == ".html" ? "index" : "download";
  if (name.find('.') == std::string::npos) name = Shortened(name + extension);
  return name;
}

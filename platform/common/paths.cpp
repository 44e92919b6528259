// Path helpers with "/" as the separator, and file URLs of paths.

#include "platform/text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

bool IsUnreservedInFileUrl(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  // Path characters that need no escape; space, "%", "#", "?", controls, non-ASCII bytes
  // and the other delimiters are escaped.
  static const std::string kKept = "-._~!$&'()*+,;=:@/";
  return kKept.find(static_cast<char>(c)) != std::string::npos;
}

std::u16string EscapeForFileUrl(const std::u16string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string escaped;
  for (unsigned char c : platform::Utf8(path)) {
    if (IsUnreservedInFileUrl(c)) {
      escaped.push_back(c);
    } else {
      escaped += {u'%', static_cast<char16_t>(kHex[c >> 4]), static_cast<char16_t>(kHex[c & 15])};
    }
  }
  return escaped;
}

// "scheme://..." with a scheme of two or more letters: already a URL.
bool IsUrl(const std::u16string& text) {
  const size_t colon = text.find(u"://");
  if (colon == std::u16string::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char16_t c = text[i];
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    const bool other = i > 0 && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.');
    if (!letter && !other) return false;
  }
  return true;
}

std::u16string CurrentFolder() {
  std::vector<char> buffer(4096);
  if (!getcwd(buffer.data(), buffer.size())) return u"/";
  return platform::Utf16(buffer.data());
}

// Removes "." segments and resolves ".." against the segment before it.
std::u16string Canonical(const std::u16string& path) {
  const bool absolute = !path.empty() && path[0] == u'/';
  std::vector<std::u16string> segments;
  size_t start = absolute ? 1 : 0;
  while (start <= path.size()) {
    size_t end = path.find(u'/', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string segment = path.substr(start, end - start);
    if (segment == u"..") {
      if (!segments.empty() && segments.back() != u"..") {
        segments.pop_back();
      } else if (!absolute) {
        segments.push_back(segment);
      }
    } else if (segment != u"." && !(segment.empty() && end != path.size())) {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::u16string result = absolute ? u"/" : u"";
  for (size_t i = 0; i < segments.size(); ++i) result += (i ? u"/" : u"") + segments[i];
  return result;
}

}  // namespace

BOOL PathRemoveFileSpecW(LPWSTR path) {
  if (!path || !*path) return FALSE;
  std::u16string text(path);
  const size_t slash = text.rfind(u'/');
  if (slash == std::u16string::npos) {
    path[0] = u'\0';
    return TRUE;
  }
  if (slash == 0) {
    if (text.size() == 1) return FALSE;
    path[1] = u'\0';
    return TRUE;
  }
  path[slash] = u'\0';
  return TRUE;
}

LPWSTR PathCombineW(LPWSTR destination, LPCWSTR directory, LPCWSTR file) {
  if (!destination) return nullptr;
  if (!directory && !file) {
    destination[0] = u'\0';
    return nullptr;
  }
  const std::u16string folder = directory ? directory : u"";
  const std::u16string name = file ? file : u"";
  std::u16string combined;
  if (!name.empty() && name[0] == u'/') {
    combined = name;
  } else if (folder.empty() || name.empty()) {
    combined = folder + name;
  } else {
    combined = folder + (folder.back() == u'/' ? u"" : u"/") + name;
  }
  if (!platform::CopyToBuffer(Canonical(combined), destination, MAX_PATH)) {
    destination[0] = u'\0';
    return nullptr;
  }
  return destination;
}

BOOL PathFileExistsW(LPCWSTR path) {
  if (!path || !*path) return FALSE;
  struct stat status;
  return stat(platform::Utf8(path).c_str(), &status) == 0 ? TRUE : FALSE;
}

BOOL PathIsUNCW(LPCWSTR path) { return path && path[0] == u'\\' && path[1] == u'\\'; }

HRESULT UrlCreateFromPathW(LPCWSTR path, LPWSTR url, LPDWORD urlLength, DWORD) {
  if (!path || !url || !urlLength) return E_INVALIDARG;
  const std::u16string text(path);
  HRESULT result = S_OK;
  std::u16string converted;
  if (IsUrl(text)) {
    converted = text;
    result = S_FALSE;
  } else if (PathIsUNCW(path)) {
    std::u16string share = text.substr(2);
    for (char16_t& c : share) {
      if (c == u'\\') c = u'/';
    }
    converted = u"file://" + EscapeForFileUrl(share);
  } else {
    const std::u16string absolute =
        !text.empty() && text[0] == u'/' ? text : CurrentFolder() + u"/" + text;
    converted = u"file://" + EscapeForFileUrl(Canonical(absolute));
  }
  if (!platform::CopyToBuffer(converted, url, *urlLength)) {
    *urlLength = static_cast<DWORD>(converted.size() + 1);
    return E_POINTER;
  }
  *urlLength = static_cast<DWORD>(converted.size());
  return result;
}

#include "finder/text/url_names.h"

#include "finder/text/text_conversion.h"

#include <boost/algorithm/string/erase.hpp>

namespace {

const std::u16string kSchemeSeparator = u"://";
const std::u16string kStopCharacters = u":?#[]@*+,;=";

}  // namespace

std::string NormalizeUrlUtf8(const char* text) {
  if (!text) return std::string();
  std::string result(text);
  std::u16string wide;
  if (!Utf8ToUtf16(result, wide)) return result;
  Utf16ToUtf8(NormalizeUrl(wide), result);
  return result;
}

bool UrlFileName(const std::u16string& url, std::u16string& name) {
  name.clear();
  if (url.empty()) return false;
  const std::u16string path = boost::erase_all_copy(url, kSchemeSeparator);
  // Splitting at "/" gives one segment more than there are slashes; only the count and
  // the last segment matter.
  const size_t lastSlash = path.rfind(u'/');
  if (lastSlash == std::u16string::npos) return false;
  const bool twoSegments = path.find(u'/') == lastSlash;
  if (twoSegments && lastSlash + 1 == path.size()) return false;
  const std::u16string segment = path.substr(lastSlash + 1);
  name = segment.substr(0, segment.find_first_of(kStopCharacters));
  return true;
}

bool UrlFileNameUtf8(const std::string& url, std::string& name) {
  name.clear();
  if (url.empty()) return false;
  std::u16string wideUrl;
  Utf8ToUtf16(url, wideUrl);
  std::u16string wideName;
  if (!UrlFileName(wideUrl, wideName)) return false;
  Utf16ToUtf8(wideName, name);
  return true;
}

#include "finder/records/request_record.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr size_t kMostFields = 200;
constexpr size_t kLongestField = 8 * 1024;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

HeaderFields ParseHeaderLines(const std::string& lines) {
  HeaderFields fields;
  size_t start = 0;
  while (start < lines.size() && fields.size() < kMostFields) {
    size_t end = lines.find('\n', start);
    if (end == std::string::npos) end = lines.size();
    const std::string line = lines.substr(start, std::min(end - start, kLongestField));
    start = end + 1;
    const size_t colon = line.find(':');
    const std::string name = colon == std::string::npos ? "" : Trimmed(line.substr(0, colon));
    if (!name.empty()) fields.push_back({name, Trimmed(line.substr(colon + 1))});
  }
  return fields;
}

std::string HeaderValue(const HeaderFields& fields, const std::string& name) {
  const auto found = std::find_if(fields.begin(), fields.end(), [&](const HeaderField& field) {
    return SameName(field.name, name);
  });
  return found == fields.end() ? std::string() : found->value;
}

std::string CookiePageOf(const RequestRecord& record) {
  return HeaderValue(record.requestHeaders, "Sec-Fetch-Dest") == "document" ? std::string()
                                                                            : record.initiator;
}

#include "finder/records/data_url.h"

#include "finder/text/base64.h"
#include "finder/text/file_names.h"

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

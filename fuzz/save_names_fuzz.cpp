// What a hostile server or page names a save (an address and a Content-Disposition, split
// at the first 0xFF): the file name is always one path component that stays in its folder
// and does not hide; the address's sent form is stable; cookies and data: addresses parse
// without harm.

#include "finder/records/cookies.h"
#include "finder/records/data_url.h"
#include "finder/text/file_names.h"
#include "finder/text/web_address.h"
#include "fuzz/fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [url, disposition] = SplitFuzzInput(data, size);
  const std::string name = SaveFileName(url, disposition, "video/mp4");
  if (name.empty() || name.size() > 255 || name == "." || name == ".." || name[0] == '.' ||
      name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
    std::abort();
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  const std::string sent = SentForm(url);
  if (SentForm(sent) != sent) std::abort();
  Cookie cookie;
  if (ParseSetCookie(disposition, cookie) && cookie.name.empty()) std::abort();
  std::string mimeType;
  std::string bytes;
  DecodeDataUrl(url, mimeType, bytes);
  return 0;
}

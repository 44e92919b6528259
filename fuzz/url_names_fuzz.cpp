// Address normalisation and file names on arbitrary text.

#include "finder/text/url_names.h"
#include "fuzz/fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string normalized = NormalizeUrlUtf8(text.c_str());
  if (IsCleanUtf8(text) && normalized != text && normalized != "http://" + text) std::abort();

  std::string name;
  if (UrlFileNameUtf8(text, name)) {
    if (name.find_first_of("/:?#[]@*+,;=") != std::string::npos) std::abort();
  } else if (!name.empty()) {
    std::abort();
  }
  return 0;
}

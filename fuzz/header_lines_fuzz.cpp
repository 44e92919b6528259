// Header lines from a server, as arbitrary bytes: fields stay bounded, each has a name
// without a colon, and the first field found by its own name is the one asked for.

#include "finder/records/request_record.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string lines(reinterpret_cast<const char*>(data), size);
  const HeaderFields fields = ParseHeaderLines(lines);
  if (fields.size() > 200) std::abort();
  for (const HeaderField& field : fields) {
    if (field.name.empty() || field.name.find(':') != std::string::npos ||
        field.name.size() + field.value.size() > 8 * 1024) {
      std::abort();
    }
  }
  if (!fields.empty() && HeaderValue(fields, fields[0].name) != fields[0].value) std::abort();
  return 0;
}

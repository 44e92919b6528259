// Prints the UI page URL that GetUiPageUrl gives for wherever this executable lies, so a
// test can run a copy of it from a folder of its choosing.

#include "app/engine_environment.h"
#include "finder/text/text_conversion.h"

#include <cstdio>

int main() {
  std::u16string url;
  if (!GetUiPageUrl(url)) return 1;
  std::string text;
  Utf16ToUtf8(url, text);
  std::puts(text.c_str());
  return 0;
}

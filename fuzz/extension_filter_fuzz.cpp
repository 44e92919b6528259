// Extension lists and matching: the first part of the input is the list, the rest a URL.

#include "finder/filters.h"
#include "fuzz/fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [list, url] = SplitFuzzInput(data, size);
  FinderState state;
  state.m_useFileExtFilter = 1;
  state.m_extensionSet = {u".kept"};
  const bool replaced = ParseExtensionFilter(state, list);
  if (replaced == list.empty()) std::abort();
  if (!replaced && state.m_extensionSet != std::set<std::u16string>{u".kept"}) std::abort();
  for (const std::u16string& token : state.m_extensionSet) {
    if (token.find_first_of(u"* ;,") != std::u16string::npos) std::abort();
  }

  const std::u16string wideUrl(url.begin(), url.end());
  const std::u16string extension = ExtensionOf(wideUrl);
  if (!extension.empty() &&
      (extension[0] != u'.' || extension.find_first_of(u"\\ ") != std::u16string::npos)) {
    std::abort();
  }
  if (MatchesFilter(state, wideUrl, u"") != (state.m_extensionSet.count(extension) == 1)) {
    std::abort();
  }
  return 0;
}

#include "finder/filters.h"

#include "finder/text/text_conversion.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/split.hpp>

#include <vector>

bool SetMimeFilter(FinderState& state, const std::string& text) {
  return Utf8ToUtf16(text, state.m_mimeFilter);
}

bool ParseExtensionFilter(FinderState& state, const std::string& text) {
  std::u16string list;
  if (!Utf8ToUtf16(text, list)) return false;
  boost::erase_all(list, u"*");
  boost::erase_all(list, u" ");
  std::vector<std::u16string> tokens;
  boost::split(tokens, list, boost::is_any_of(u";,"));
  state.m_extensionSet.clear();
  state.m_extensionSet.insert(tokens.begin(), tokens.end());
  return true;
}

std::u16string ExtensionOf(const std::u16string& url) {
  size_t dot = std::u16string::npos;
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] == u'\\' || url[i] == u' ')
      dot = std::u16string::npos;
    else if (url[i] == u'.')
      dot = i;
  }
  return dot == std::u16string::npos ? std::u16string() : url.substr(dot);
}

bool MatchesFilter(const FinderState& state, const std::u16string& url,
                   const std::u16string& mimeType) {
  if (!state.m_filterEnabled) return true;
  if (!state.m_useFileExtFilter) return mimeType.find(state.m_mimeFilter) != std::u16string::npos;
  return state.m_extensionSet.count(ExtensionOf(url)) != 0;
}

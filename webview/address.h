#pragma once

// What a typed address becomes before it is loaded.

#include <boost/algorithm/string/predicate.hpp>

#include <string>

// Puts "http://" in front of a typed address that has no scheme separator or that begins
// with "www."; anything else comes back unchanged. Nothing is trimmed, decoded or re-cased.
inline std::u16string NormalizeUrl(const std::u16string& text) {
  const std::u16string http = u"http://";
  if (boost::starts_with(text, u"http://www.")) return text;
  if (boost::starts_with(text, u"www.")) return http + text;
  if (boost::contains(text, u"://")) return text;
  return http + text;
}

#pragma once

// A small reader of XML as streaming manifests use it: elements with their attributes
// (entities decoded), their children and their text, in order. No DTD and no namespaces (a
// prefix stays in the name); comments, processing instructions and a DOCTYPE are skipped,
// CDATA is text. Bounded, as a hostile manifest may be anything: at most kMostXmlElements
// elements, nested at most kDeepestXml deep.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr size_t kMostXmlElements = 200'000;
inline constexpr size_t kDeepestXml = 64;

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlElement> children;
  std::string text;  // the character data directly inside it

  // The attribute's value, or null when the element has none of that name.
  const std::string* Attribute(const std::string& key) const;
  std::string AttributeOr(const std::string& key, const std::string& fallback) const;
  // The first child of that name, or null.
  const XmlElement* Child(const std::string& childName) const;
};

// The document's root element. False with the reason when the text is not a well-formed
// document within the bounds; the root then holds what was read before the fault.
bool ReadXml(std::string_view text, XmlElement& root, std::string& error);

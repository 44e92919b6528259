#include "finder/records/xml_elements.h"

#include "finder/text/text_conversion.h"

#include <cstdlib>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// UTF-8 of a code point, through its UTF-16 form; nothing for one that is none.
std::string Utf8(unsigned long point) {
  if (point == 0 || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return "";
  std::u16string units;
  if (point < 0x10000) {
    units += static_cast<char16_t>(point);
  } else {
    units += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
  }
  return Utf8Of(units);
}

// The text with its entity and character references replaced; an unknown one stays.
std::string Decoded(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  for (size_t at = 0; at < text.size(); ++at) {
    const size_t end = text[at] == '&' ? text.find(';', at) : std::string_view::npos;
    if (end == std::string_view::npos || end - at > 10) {
      out += text[at];
      continue;
    }
    const std::string_view name = text.substr(at + 1, end - at - 1);
    std::string replaced;
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      replaced =
          Utf8(std::strtoul(std::string(name.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10));
    }
    for (const auto& [entity, character] : kEntities) {
      if (name == entity) replaced = std::string(1, character);
    }
    if (replaced.empty()) {
      out += text[at];
      continue;
    }
    out += replaced;
    at = end;
  }
  return out;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : m_text(text) {}

  bool Document(XmlElement& root, std::string& error) {
    SkipMisc();
    if (!At("<") || !Element(root, 0)) {
      error = m_error.empty() ? "no root element" : m_error;
      return false;
    }
    return true;
  }

 private:
  bool At(std::string_view prefix) const { return m_text.substr(m_at, prefix.size()) == prefix; }

  // Skips past the end marker; false when it never comes.
  bool SkipPast(std::string_view end) {
    const size_t found = m_text.find(end, m_at);
    if (found == std::string_view::npos) return Fail("an unclosed comment or declaration");
    m_at = found + end.size();
    return true;
  }

  bool Fail(const std::string& why) {
    if (m_error.empty()) m_error = why + " at byte " + std::to_string(m_at);
    return false;
  }

  void SkipSpace() {
    while (m_at < m_text.size() && IsSpace(m_text[m_at])) ++m_at;
  }

  // Whitespace, comments, processing instructions and a DOCTYPE before the root.
  void SkipMisc() {
    for (;;) {
      SkipSpace();
      if (At("<?")) {
        if (!SkipPast("?>")) return;
      } else if (At("<!--")) {
        if (!SkipPast("-->")) return;
      } else if (At("<!")) {
        if (!SkipPast(">")) return;
      } else {
        return;
      }
    }
  }

  std::string Name() {
    const size_t start = m_at;
    while (m_at < m_text.size() && !IsSpace(m_text[m_at]) && m_text[m_at] != '/' &&
           m_text[m_at] != '>' && m_text[m_at] != '=' && m_text[m_at] != '<') {
      ++m_at;
    }
    return std::string(m_text.substr(start, m_at - start));
  }

  bool Attributes(XmlElement& element) {
    for (;;) {
      SkipSpace();
      if (m_at >= m_text.size()) return Fail("an unended tag");
      if (At("/") || At(">")) return true;
      std::string key = Name();
      SkipSpace();
      if (key.empty() || !At("=")) return Fail("a bad attribute");
      ++m_at;
      SkipSpace();
      const char quote = m_at < m_text.size() ? m_text[m_at] : '\0';
      const size_t end =
          quote == '"' || quote == '\'' ? m_text.find(quote, m_at + 1) : std::string_view::npos;
      if (end == std::string_view::npos) return Fail("an unquoted attribute");
      element.attributes.emplace_back(std::move(key),
                                      Decoded(m_text.substr(m_at + 1, end - m_at - 1)));
      m_at = end + 1;
    }
  }

  bool Element(XmlElement& element, size_t depth) {
    if (depth >= kDeepestXml) return Fail("elements nested too deep");
    if (++m_elements > kMostXmlElements) return Fail("too many elements");
    ++m_at;
    element.name = Name();
    if (element.name.empty()) return Fail("a tag without a name");
    if (!Attributes(element)) return false;
    if (At("/>")) {
      m_at += 2;
      return true;
    }
    ++m_at;
    return Content(element, depth);
  }

  // What lies between the element's tags, and its end tag.
  bool Content(XmlElement& element, size_t depth) {
    for (;;) {
      const size_t tag = m_text.find('<', m_at);
      if (tag == std::string_view::npos) return Fail("an unclosed element " + element.name);
      element.text += Decoded(m_text.substr(m_at, tag - m_at));
      m_at = tag;
      if (At("<![CDATA[")) {
        const size_t end = m_text.find("]]>", m_at);
        if (end == std::string_view::npos) return Fail("an unended CDATA section");
        element.text += m_text.substr(m_at + 9, end - m_at - 9);
        m_at = end + 3;
      } else if (At("<!--")) {
        if (!SkipPast("-->")) return false;
      } else if (At("<?")) {
        if (!SkipPast("?>")) return false;
      } else if (At("</")) {
        m_at += 2;
        const std::string closing = Name();
        SkipSpace();
        if (closing != element.name || !At(">")) return Fail("a mismatched end tag");
        ++m_at;
        return true;
      } else {
        element.children.emplace_back();
        if (!Element(element.children.back(), depth + 1)) return false;
      }
    }
  }

  std::string_view m_text;
  size_t m_at = 0;
  size_t m_elements = 0;
  std::string m_error;
};

}  // namespace

const std::string* XmlElement::Attribute(const std::string& key) const {
  for (const auto& [name, value] : attributes) {
    if (name == key) return &value;
  }
  return nullptr;
}

std::string XmlElement::AttributeOr(const std::string& key, const std::string& fallback) const {
  const std::string* value = Attribute(key);
  return value ? *value : fallback;
}

const XmlElement* XmlElement::Child(const std::string& childName) const {
  for (const XmlElement& child : children) {
    if (child.name == childName) return &child;
  }
  return nullptr;
}

bool ReadXml(std::string_view text, XmlElement& root, std::string& error) {
  root = XmlElement();
  return Reader(text).Document(root, error);
}

#include "bridge/json_text.h"

#include <algorithm>

namespace {

// jsoncpp's Reader throws when it reads a value inside 1000 arrays or objects, and nothing
// may throw out of a parse of page input. Below that depth the reader is never stopped.
constexpr size_t kMaxNesting = 999;

// Skips a string or comment starting at text[i] the way the reader's tokenizer does, and
// returns the index after it; returns i itself when nothing of the kind starts there.
size_t SkipStringOrComment(const std::string& text, size_t i) {
  if (text[i] == '"') {
    for (size_t j = i + 1; j < text.size(); ++j) {
      if (text[j] == '\\')
        ++j;
      else if (text[j] == '"')
        return j + 1;
    }
    return text.size();
  }
  if (text[i] != '/' || i + 1 >= text.size()) return i;
  if (text[i + 1] == '*') {
    const size_t end = text.find("*/", i + 2);
    return end == std::string::npos ? text.size() : end + 2;
  }
  if (text[i + 1] == '/') {
    const size_t end = text.find_first_of("\r\n", i + 2);
    return end == std::string::npos ? text.size() : end;
  }
  return i;
}

// The deepest nesting of arrays and objects outside strings and comments. The reader
// never goes deeper than this, since it stops at the first token it cannot use.
size_t NestingDepth(const std::string& text) {
  size_t depth = 0;
  size_t deepest = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t next = SkipStringOrComment(text, i);
    if (next != i) {
      i = next;
      continue;
    }
    if (text[i] == '[' || text[i] == '{')
      deepest = std::max(deepest, ++depth);
    else if ((text[i] == ']' || text[i] == '}') && depth > 0)
      --depth;
    ++i;
  }
  return deepest;
}

}  // namespace

bool ReadJsonText(const std::string& text, Json::Value& value) {
  if (NestingDepth(text) > kMaxNesting) return false;
  Json::Reader reader;
  return reader.parse(text, value);
}

std::string WriteJsonText(const Json::Value& value) {
  Json::FastWriter writer;
  return writer.write(value);
}

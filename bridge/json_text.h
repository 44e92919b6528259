#pragma once

#include <json/json.h>

#include <string>

// Parses one JSON document with the reader's default settings (comments allowed, any value
// as the document). On a failed parse the value keeps what the reader built before it
// stopped. A document nested deeper than the reader can take is not parsed at all. True
// when the whole text parsed.
bool ReadJsonText(const std::string& text, Json::Value& value);

// Compact JSON text: members in ascending key order, no spaces, one newline at the end.
std::string WriteJsonText(const Json::Value& value);

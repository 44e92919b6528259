#pragma once

#include "webview/address.h"

#include <string>

// NormalizeUrl (webview/address.h) on UTF-8 text; an empty (or null) text comes back empty.
std::string NormalizeUrlUtf8(const char* text);

// The file name of a resource URL: its last path segment up to the first of the stop
// characters ":?#[]@*+,;=". False, with the output empty, when the URL has no path.
bool UrlFileName(const std::u16string& url, std::u16string& name);
bool UrlFileNameUtf8(const std::string& url, std::string& name);

#pragma once

// A request as a cURL command for a POSIX shell, which fetches what the page fetched: the
// method, the URL, the request's Referer and User-Agent, and the cookies the browsing
// session holds for the URL. Every value goes in single quotes.

#include "finder/records/request_record.h"

#include <string>

std::string CurlCommand(const RequestRecord& record, const std::string& cookies);
// The text in single quotes, each quote in it written as '\''.
std::string ShellQuoted(const std::string& text);

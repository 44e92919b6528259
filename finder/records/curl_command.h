#pragma once

// A request as a cURL command for a POSIX shell, which makes the request the page made:
// the method (HEAD as --head), the URL taken literally (--globoff), every header field the
// page sent but those curl writes itself, the cookies the browsing session holds for it,
// and --compressed where the page took compressed answers. A body the page sent is not
// known; the command says so in a comment rather than sending another. Every value goes in
// single quotes.

#include "finder/records/request_record.h"

#include <string>

std::string CurlCommand(const RequestRecord& record, const std::string& cookies);
// The text in single quotes, each quote in it written as '\''.
std::string ShellQuoted(const std::string& text);

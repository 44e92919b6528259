#include "finder/records/curl_command.h"

#include "finder/text/ascii_case.h"

namespace {

// Fields curl writes itself, or that the command carries otherwise.
bool CurlsOwn(const std::string& name) {
  const std::string lower = AsciiLower(name);
  return lower == "host" || lower == "content-length" || lower == "connection" ||
         lower == "cookie" || lower == "accept-encoding" || lower == "transfer-encoding";
}

// Whether the page took gzip, deflate or br: WebKit's network layer asks for them unless the
// request says otherwise.
bool TakesCompressed(const HeaderFields& headers) {
  const std::string accepted = AsciiLower(HeaderValue(headers, "Accept-Encoding"));
  return accepted.empty() || accepted.find("gzip") != std::string::npos ||
         accepted.find("br") != std::string::npos || accepted.find("deflate") != std::string::npos;
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string CurlCommand(const RequestRecord& record, const std::string& cookies) {
  std::string command = "curl --globoff " + ShellQuoted(record.url);
  if (record.method == "HEAD") {
    command += " --head";
  } else if (record.method != "GET") {
    command += " -X " + ShellQuoted(record.method);
  }
  for (const HeaderField& field : record.requestHeaders) {
    if (!CurlsOwn(field.name)) command += " -H " + ShellQuoted(field.name + ": " + field.value);
  }
  if (!cookies.empty()) command += " -H " + ShellQuoted("Cookie: " + cookies);
  if (TakesCompressed(record.requestHeaders)) {
    command += " --compressed";
  } else {
    command += " -H " + ShellQuoted("Accept-Encoding: " +
                                    HeaderValue(record.requestHeaders, "Accept-Encoding"));
  }
  const bool bodiless = record.method == "GET" || record.method == "HEAD" ||
                        record.method == "OPTIONS" || record.method == "DELETE";
  if (!bodiless) command += " # the body of the page's request is not known, so none is sent";
  return command;
}

#include "finder/records/curl_command.h"

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string CurlCommand(const RequestRecord& record, const std::string& cookies) {
  std::string command = "curl " + ShellQuoted(record.url);
  if (record.method != "GET") command += " -X " + ShellQuoted(record.method);
  for (const char* name : {"Referer", "User-Agent"}) {
    const std::string value = HeaderValue(record.requestHeaders, name);
    if (!value.empty()) command += " -H " + ShellQuoted(std::string(name) + ": " + value);
  }
  if (!cookies.empty()) command += " -H " + ShellQuoted("Cookie: " + cookies);
  return command;
}

#include "tests/unit/platform/gtk/desktop_environment.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>

namespace gtk_test {
namespace {

std::string g_folder;

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

}  // namespace

std::string MakeDesktopEnvironment() {
  char pattern[] = "/tmp/trawler-desktop-XXXXXX";
  if (!mkdtemp(pattern)) return std::string();
  g_folder = pattern;
  const std::string data = g_folder + "/data";
  const std::string config = g_folder + "/config";
  mkdir(data.c_str(), 0700);
  mkdir((data + "/applications").c_str(), 0700);
  mkdir(config.c_str(), 0700);
  Write(g_folder + "/handler.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + HandlerOutput() +
                                      ".part'\n"
                                      "mv '" +
                                      HandlerOutput() + ".part' '" + HandlerOutput() + "'\n");
  chmod((g_folder + "/handler.sh").c_str(), 0700);
  Write(data + "/applications/trawler-test-handler.desktop",
        "[Desktop Entry]\nType=Application\nName=Trawler test handler\nExec=" + g_folder +
            "/handler.sh %u\nMimeType=x-scheme-handler/http;\nNoDisplay=true\n");
  Write(config + "/mimeapps.list",
        "[Default Applications]\nx-scheme-handler/http=trawler-test-handler.desktop\n");
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  return g_folder;
}

std::string HandlerOutput() { return g_folder + "/opened"; }

}  // namespace gtk_test

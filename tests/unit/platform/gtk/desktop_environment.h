#pragma once

// A desktop of the test's own, made before anything asks GIO for applications: the data
// and configuration folders point into a scratch folder whose default handler for http
// URLs is a script that writes the URL it was given to a file.

#include <string>

namespace gtk_test {

// Makes the folders and sets XDG_DATA_HOME and XDG_CONFIG_HOME; answers the scratch folder.
std::string MakeDesktopEnvironment();
// The file the http handler writes its argument to.
std::string HandlerOutput();

}  // namespace gtk_test

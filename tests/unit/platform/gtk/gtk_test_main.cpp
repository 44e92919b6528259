// The GTK back end's tests: a desktop environment of their own, then the tests. GTK itself
// starts when the back end first needs it, so a test can also see it fail to start.

#include "tests/unit/platform/gtk/desktop_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  const std::string folder = gtk_test::MakeDesktopEnvironment();
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (!folder.empty()) std::system(("rm -rf '" + folder + "'").c_str());
  return result;
}

// Trawler, the application: the GTK back end, the WebKitGTK engine and the remote script
// engine behind the system's entry point.

#include "app/my_app.h"

int main() {
  // Nothing reads the instance handle's value; the process itself stands for it.
  static char module;
  return wWinMain(reinterpret_cast<HINSTANCE>(&module), nullptr, nullptr, SW_SHOWDEFAULT);
}

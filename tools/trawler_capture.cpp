// trawler-capture: Trawler's capture from a command line, on the GTK back end and the
// WebKitGTK engine, without a window.

#include "capture/capture_main.h"

int main(int argc, char** argv) { return RunCapture(argc, argv); }

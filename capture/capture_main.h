#pragma once

// trawler-capture's run from its command line to its exit status: 0 when every page loaded,
// 1 when a page failed or timed out, a save failed or an output could not be written, 2 for
// bad usage.

int RunCapture(int argc, char** argv);

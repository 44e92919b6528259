#pragma once

// A scenario for the simulated run: the UI page's scripts (one per successive load, the
// last repeating), the other pages, and the answer to confirm panels.

#include "engine/testing/sim_engine.h"

#include <string>
#include <vector>

struct Scenario {
  std::vector<std::string> uiScripts;
  Json::Value pages;
  bool confirm = false;
};

// Reads a scenario file; false with a message when it cannot be read or has another
// shape.
bool ReadScenario(const std::string& path, Scenario& scenario, std::string& error);

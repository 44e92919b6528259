#pragma once

// The simulated engine's shared state: scripted pages, records, the observer, and the web
// views alive now (so that tasks and page functions can find their view by number).

#include "engine/testing/sim_engine.h"

#include <map>
#include <set>
#include <string>

namespace sim {

class SimWebView;

struct EngineState {
  std::map<std::u16string, Page> pages;
  std::map<std::u16string, size_t> pageLoads;
  std::map<std::u16string, int> downloadsDropped;  // of each address, so far
  std::string missingDecoders;                     // what missingMediaDecoders says; empty: null
  Records records;
  Observer* observer = nullptr;
  Observer silent;
  std::map<int, SimWebView*> views;
  int nextViewId = 1;
  unsigned long nextResourceId = 1;
  const CLSID* failingClass = nullptr;
  std::set<std::string> failingOperations;

  Observer& Notify() { return observer ? *observer : silent; }
};

EngineState& State();

// The view with that number, or null once it is gone.
SimWebView* FindView(int id);

}  // namespace sim

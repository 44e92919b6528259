#pragma once

// What every simulated page's script finds on its global object: setTimeout (in virtual
// time) and "sim", through which a scenario plays what a person or a page would do.

#include "bridge/script_engine.h"

#include <string>

namespace sim {

// Installs the globals in a fresh page context that belongs to the view with that number.
void InstallPageGlobals(js::JSGlobalContextRef context, int viewId);
// Runs a page script; an exception it does not catch is recorded and the run goes on.
void RunPageScript(js::JSGlobalContextRef context, const std::string& script);
// Forgets the context's globals (its timers no longer fire).
void ForgetPageContext(js::JSGlobalContextRef context);

}  // namespace sim

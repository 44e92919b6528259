#pragma once

// The agent's real classes for Trawler's classes: each static function forwards its call
// (this object, arguments) to Trawler; and the class of callback functions, whose calls
// forward likewise. Their objects carry an Instance as private data, freed when the object
// is collected.

#include "engine/remote_script/agent/agent_state.h"

#include <string>
#include <vector>

namespace page_agent {

// The class for Trawler's class number, made on first use; null when no more forwarding
// functions can be had.
JSClassRef ForwardClass(AgentState& state, uint32_t uiClass, const std::string& name,
                        const std::vector<std::string>& functions);
// The class of callback functions.
JSClassRef CallbackClass(AgentState& state);
// A new object of the class that keeps the number id for its life.
JSObjectRef MakeInstance(const std::shared_ptr<AgentState>& state, uint64_t context,
                         JSContextRef ctx, JSClassRef jsClass, uint32_t uiClass, uint32_t callback);
// The agent goes: its forwarding functions answer undefined from now on, and are free for
// another agent; its classes are released.
void ReleaseForwardClasses(AgentState& state);

}  // namespace page_agent

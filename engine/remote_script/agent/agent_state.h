#pragma once

// What the page agent keeps for Trawler: the contexts it numbered, and the values and
// objects it handed out. A handed-out value is protected until Trawler releases it (each
// hand-out counts once). Objects of Trawler's classes, and contexts' global objects, keep
// one number for their life and are not protected: an object goes when the page lets go of
// it, a global object with its context. On the agent's thread only.

#include "engine/remote_script/protocol/protocol.h"

#include <JavaScriptCore/JavaScript.h>

#include <atomic>
#include <map>
#include <memory>
#include <unordered_map>

namespace page_agent {

class PageAgent;
struct AgentState;

// The private data of every object made with one of Trawler's classes or as a callback
// function: the number it keeps, and what a call of it is forwarded to.
struct Instance {
  std::weak_ptr<AgentState> state;
  uint64_t id = 0;
  uint32_t uiClass = 0;
  uint32_t callback = 0;
};

struct AgentState {
  struct Context {
    JSGlobalContextRef context;
    JSObjectRef global;
    uint64_t globalId;
    uint64_t frame;  // 0: made for Trawler, not a page's frame
  };
  struct Handle {
    JSValueRef value;
    uint64_t context;
    uint32_t count;  // hand-outs not yet released; 0 for stable handles
    bool stable;
  };

  AgentState(PageAgent* agent, std::atomic<size_t>* liveHandles)
      : owner(agent), live(liveHandles) {}

  // Numbers a context and keeps it alive until DropContext.
  uint64_t AddContext(JSGlobalContextRef context, uint64_t frame);
  // Everything handed out in the context goes, then the context.
  void DropContext(uint64_t id);
  const Context* FindContext(uint64_t id) const;
  // The number of the context a callback runs in (0: none this agent knows).
  uint64_t ContextIdOf(JSContextRef context) const;
  uint64_t NextId() { return nextId++; }
  // Registers an object of Trawler's classes under its lasting number.
  void AddStable(uint64_t id, uint64_t context, JSObjectRef object);

  // The wire form of a value: primitives as themselves, anything else as a handle.
  remote_script::WireValue Describe(uint64_t context, JSContextRef ctx, JSValueRef value);
  // The value a wire value stands for in the context; false for a handle that is unknown,
  // released, or of another context.
  bool Resolve(uint64_t context, JSContextRef ctx, const remote_script::WireValue& wire,
               JSValueRef& value);
  // One hand-out of the handle is given back.
  void Release(uint64_t id);
  // A stable handle's object was collected.
  void Forget(uint64_t id) { handles.erase(id); }

  PageAgent* owner;
  std::atomic<size_t>* live;
  uint64_t nextId = 1;
  std::map<uint64_t, Context> contexts;
  std::unordered_map<JSGlobalContextRef, uint64_t> contextIds;
  std::map<uint64_t, uint64_t> frameContexts;
  std::unordered_map<uint64_t, Handle> handles;
  std::map<uint32_t, JSClassRef> classes;  // by Trawler's class number
  JSClassRef callbackClass = nullptr;
};

}  // namespace page_agent

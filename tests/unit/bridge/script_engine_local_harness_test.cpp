// Runs the script engine conformance suite against JavaScriptCore in this process.

#include "tests/unit/bridge/handle_counter.h"
#include "tests/unit/bridge/script_engine_conformance.h"

namespace {

js::JSGlobalContextRef CreateLocalContext() { return js::JSGlobalContextCreate(nullptr); }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Local, ScriptEngineConformanceTest,
                         testing::Values(ScriptEngineHarness{"Local", CreateLocalContext,
                                                             js::JSGlobalContextRelease,
                                                             string_handles::Live}),
                         [](const auto& info) { return std::string(info.param.name); });

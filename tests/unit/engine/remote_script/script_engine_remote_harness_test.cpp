// Runs the script engine conformance suite against the remote implementation, with the
// page agent on a thread of this process.

#include "tests/unit/bridge/script_engine_conformance.h"
#include "tests/unit/engine/remote_script/remote_environment.h"

namespace {

js::JSGlobalContextRef CreateRemoteContext() {
  remote_test::SharedAgent();
  return js::JSGlobalContextCreate(nullptr);
}

void ReleaseRemoteContext(js::JSGlobalContextRef context) {
  remote_script::FlushReleases();
  js::JSGlobalContextRelease(context);
}

long RemoteStrings() { return static_cast<long>(remote_script::GetStatistics().liveStrings); }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Remote, ScriptEngineConformanceTest,
                         testing::Values(ScriptEngineHarness{"Remote", CreateRemoteContext,
                                                             ReleaseRemoteContext, RemoteStrings}),
                         [](const auto& info) { return std::string(info.param.name); });

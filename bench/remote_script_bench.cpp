// The remote script engine against a page agent on a thread of this process: one
// synchronous request each way, the script work of one reported result (the path of
// ReportResponse: look up addResult, make the argument, call it, give the values back),
// and one service.call() with the parameters of a "start". Each prints its round trips
// and the UI thread's CPU time per operation. Run: build/bin/trawler_remote_bench

#include "bridge/script_values.h"
#include "bridge/webkit_service.h"
#include "tests/unit/engine/remote_script/remote_environment.h"

#include <benchmark/benchmark.h>

#include <time.h>

namespace {

double ThreadMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

js::JSValueRef Evaluate(js::JSContextRef context, const char* script) {
  js::JSStringRef source = js::JSStringCreateWithUTF8CString(script);
  const js::JSValueRef value = js::JSEvaluateScript(context, source, nullptr, nullptr, 1, nullptr);
  js::JSStringRelease(source);
  return value;
}

// A context on the agent for one benchmark, with its script run.
class Page {
 public:
  explicit Page(const char* script) {
    remote_test::SharedAgent();
    m_context = js::JSGlobalContextCreate(nullptr);
    Evaluate(m_context, script);
  }
  ~Page() {
    remote_script::FlushReleases();
    js::JSGlobalContextRelease(m_context);
  }
  js::JSGlobalContextRef Get() const { return m_context; }

 private:
  js::JSGlobalContextRef m_context;
};

// Counts what the loop did per operation: requests to the page, requests from it, and the
// UI thread's CPU time.
class Counts {
 public:
  Counts() : m_before(remote_script::GetStatistics()), m_cpu(ThreadMicroseconds()) {}
  void Report(benchmark::State& state, double operations) {
    const remote_script::Statistics after = remote_script::GetStatistics();
    state.counters["to_page"] =
        static_cast<double>(after.requests - m_before.requests) / operations;
    state.counters["from_page"] = static_cast<double>(after.served - m_before.served) / operations;
    state.counters["ui_cpu_us"] = (ThreadMicroseconds() - m_cpu) / operations;
  }

 private:
  remote_script::Statistics m_before;
  double m_cpu;
};

void RoundTripToThePage(benchmark::State& state) {
  Page page("var answer = 42;");
  js::JSStringRef name = js::JSStringCreateWithUTF8CString("answer");
  const js::JSObjectRef global = js::JSContextGetGlobalObject(page.Get());
  Counts counts;
  for (auto _ : state) {
    benchmark::DoNotOptimize(js::JSObjectGetProperty(page.Get(), global, name, nullptr));
  }
  counts.Report(state, static_cast<double>(state.iterations()));
  js::JSStringRelease(name);
}
BENCHMARK(RoundTripToThePage);

js::JSValueRef Nothing(js::JSContextRef, js::JSObjectRef, js::JSObjectRef, size_t,
                       const js::JSValueRef[], js::JSValueRef*) {
  return nullptr;
}

void RoundTripFromThePage(benchmark::State& state) {
  Page page("");
  static const js::JSStaticFunction functions[] = {{"nop", Nothing, 0}, {nullptr, nullptr, 0}};
  js::JSClassDefinition definition = js::kJSClassDefinitionEmpty;
  definition.className = "Native";
  definition.staticFunctions = functions;
  js::JSClassRef native = js::JSClassCreate(&definition);
  js::JSStringRef name = js::JSStringCreateWithUTF8CString("native");
  js::JSObjectSetProperty(page.Get(), js::JSContextGetGlobalObject(page.Get()), name,
                          js::JSObjectMake(page.Get(), native, nullptr), 0, nullptr);
  js::JSStringRelease(name);
  constexpr int kCalls = 100;
  Counts counts;
  for (auto _ : state) Evaluate(page.Get(), "for (let i = 0; i < 100; ++i) native.nop();");
  counts.Report(state, static_cast<double>(state.iterations() * kCalls));
  state.SetItemsProcessed(state.iterations() * kCalls);
  js::JSClassRelease(native);
}
BENCHMARK(RoundTripFromThePage);

void ReportedResultScriptWork(benchmark::State& state) {
  Page page("var rows = 0; function addResult(row) { ++rows; }");
  const std::string row =
      R"({"fileName":"clip.mp4","mimeType":"video/mp4","size":"1MB","url":"https://h.test/clip.mp4"})"
      "\n";
  Counts counts;
  for (auto _ : state) {
    remote_script::ScopedCall scope;
    const js::JSObjectRef global = js::JSContextGetGlobalObject(page.Get());
    ScriptFunctionRef function;
    GetScriptFunction(page.Get(), global, function, "addResult");
    ScriptArguments arguments{page.Get(), {}};
    AppendStringArgument(row, arguments);
    js::JSValueRef result = nullptr;
    CallScriptFunction(function, arguments, result);
    ClearArguments(arguments);
  }
  counts.Report(state, static_cast<double>(state.iterations()));
}
BENCHMARK(ReportedResultScriptWork);

int StartLike(const std::u16string&, const std::u16string&, const Json::Value& params, void*,
              Json::Value& returnValue) {
  returnValue["returnValue"] = params["url"].isString() ? 1 : 0;
  return 1;
}

void ServiceCallFromThePage(benchmark::State& state) {
  Page page(
      "var params = JSON.stringify({url: 'https://media.test/', filterEnabled: true,"
      " useFileExtFilter: true, fileExtFilter: '*.mp3;*.mp4', mimeFilter: ''});");
  CWebKitService service;
  service.m_handler = StartLike;
  service.Install(reinterpret_cast<CWebKitWindow*>(&service), page.Get(),
                  js::JSContextGetGlobalObject(page.Get()), nullptr);
  Evaluate(page.Get(),
           "service.uri = 'com.quillmoor.trawler'; service.method = 'start';"
           "service.params = params;");
  constexpr int kCalls = 100;
  Counts counts;
  for (auto _ : state) Evaluate(page.Get(), "for (let i = 0; i < 100; ++i) service.call();");
  counts.Report(state, static_cast<double>(state.iterations() * kCalls));
  state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(ServiceCallFromThePage);

}  // namespace

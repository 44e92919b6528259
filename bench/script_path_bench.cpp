// The whole per-response path and one page call of the service, through JavaScriptCore in
// this process: ReportResponse into a UI page whose addResult does nothing, and
// service.call() with the parameters of a "start". These are the in-process baselines for
// the remote script engine's figures.

#include "app/my_app.h"
#include "bridge/webkit_service.h"
#include "engine/testing/sim_engine.h"
#include "finder/finder_commands.h"
#include "finder/result_reporting.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

const std::u16string kUiPage = u"http://ui.test/";
const std::string kUrl = "https://cdn.media.test/videos/2026/12/clip-final.mp4?token=abc#t=10";

// The application, its UI window showing a page with an empty addResult, for the whole
// benchmark run. Application data goes to a scratch folder.
class Application {
 public:
  static Application& Get() {
    static Application application;
    return application;
  }
  FinderState& State() { return m_app->m_localWindow; }

 private:
  Application() {
    char folder[] = "/tmp/trawler-bench-XXXXXX";
    if (mkdtemp(folder)) setenv("XDG_DATA_HOME", folder, 1);
    m_app = std::make_unique<CMyApp>(nullptr, SW_SHOW);
    // The storage folders are made by now, and nothing reads them in the simulated engine.
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    g_pApp = m_app.get();
    m_app->RegisterWindowClass();
    sim::SetPage(kUiPage, {{{kUiPage, u"text/html", 1}}, {"function addResult(row) {}"}});
    m_app->m_localWindow.Create(u"Trawler", nullptr);
    m_app->m_localWindow.LoadUrl(kUiPage.c_str());
    // Virtual time runs until the page's window object exists.
    sim::After(10, [] { PostQuitMessage(0); });
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
  }
  std::unique_ptr<CMyApp> m_app;
};

void ReportedResponse(benchmark::State& state) {
  FinderState& finder = Application::Get().State();
  finder.m_filterEnabled = 0;
  RequestRecord record;
  record.url = kUrl;
  record.mimeType = "video/mp4";
  record.announcedLength = 1 << 20;
  for (auto _ : state) {
    benchmark::DoNotOptimize(KeepRequest(finder, record));
    // The list is cleared now and then, as a person does, so memory stays flat.
    if (finder.m_records.size() == 100000) ClearResults(finder);
  }
  if (finder.m_rows.empty()) state.SkipWithError("not called");
}
BENCHMARK(ReportedResponse);

// Reads the parameters the way "start" does and answers 1, without loading anything.
int StartLike(const std::u16string&, const std::u16string&, const Json::Value& params, void*,
              Json::Value& returnValue) {
  const bool valid = params["url"].isString() && params["filterEnabled"].isBool() &&
                     params["useFileExtFilter"].isBool() && params["fileExtFilter"].isString();
  returnValue["returnValue"] = valid ? 1 : 0;
  return valid ? 1 : 0;
}

js::JSValueRef Evaluate(js::JSContextRef context, const char* script) {
  js::JSStringRef source = js::JSStringCreateWithUTF8CString(script);
  const js::JSValueRef value = js::JSEvaluateScript(context, source, nullptr, nullptr, 1, nullptr);
  js::JSStringRelease(source);
  return value;
}

void PageServiceCall(benchmark::State& state) {
  js::JSGlobalContextRef context = js::JSGlobalContextCreate(nullptr);
  CWebKitService service;
  service.m_handler = StartLike;
  service.Install(reinterpret_cast<CWebKitWindow*>(&service), context,
                  js::JSContextGetGlobalObject(context), nullptr);
  Evaluate(context,
           "service.uri = 'com.quillmoor.trawler'; service.method = 'start';"
           "service.params = JSON.stringify({url: 'https://media.test/', filterEnabled: true,"
           " useFileExtFilter: true, fileExtFilter: '*.mp3;*.mp4', mimeFilter: ''});");
  const js::JSObjectRef call =
      js::JSValueToObject(context, Evaluate(context, "service.call"), nullptr);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        js::JSObjectCallAsFunction(context, call, service.m_scriptObject, 0, nullptr, nullptr));
  }
  if (service.m_resultText != "{\"returnValue\":1}\n")
    state.SkipWithError(service.m_resultText.c_str());
  js::JSGlobalContextRelease(context);
}
BENCHMARK(PageServiceCall);

}  // namespace

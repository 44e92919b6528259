// What every reported resource response costs on the native side, piece by piece, and the
// cost of dispatching one service call. Run: build/bin/trawler_bench

#include "bridge/service_protocol.h"
#include "finder/filters.h"
#include "finder/result_reporting.h"
#include "finder/size_format.h"
#include "finder/text_conversion.h"
#include "finder/url_names.h"

#include <benchmark/benchmark.h>

namespace {

const std::u16string kUrl = u"https://cdn.media.test/videos/2026/12/clip-final.mp4?token=abc#t=10";
const std::u16string kMime = u"video/mp4";

void ExtensionFilter(benchmark::State& state) {
  FinderState finder;
  finder.m_useFileExtFilter = 1;
  ParseExtensionFilter(finder, "*.mp3; *.mp4; *.flv; *.ogg; *.webm");
  for (auto _ : state) benchmark::DoNotOptimize(MatchesFilter(finder, kUrl, kMime));
}
BENCHMARK(ExtensionFilter);

void MimeFilter(benchmark::State& state) {
  FinderState finder;
  SetMimeFilter(finder, "video");
  for (auto _ : state) benchmark::DoNotOptimize(MatchesFilter(finder, kUrl, kMime));
}
BENCHMARK(MimeFilter);

void ResultTexts(benchmark::State& state) {
  for (auto _ : state) {
    FinderResult result;
    Utf16ToUtf8(kUrl, result.url);
    UrlFileNameUtf8(result.url, result.fileName);
    Utf16ToUtf8(kMime, result.mimeType);
    FormatSizeUtf8(result.size, 123456789);
    benchmark::DoNotOptimize(ResultJson(result));
  }
}
BENCHMARK(ResultTexts);

int Answer(const std::u16string&, const std::u16string&, const Json::Value& params, void*,
           Json::Value& returnValue) {
  returnValue["returnValue"] = params["url"].isString() ? 1 : 0;
  return 1;
}

void ServiceDispatch(benchmark::State& state) {
  const char* params =
      R"({"url":"https://media.test/","filterEnabled":true,"useFileExtFilter":true,)"
      R"("fileExtFilter":"*.mp3;*.mp4","mimeFilter":""})";
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        DispatchServiceCall(Answer, nullptr, u"com.quillmoor.trawler", u"start", params));
  }
}
BENCHMARK(ServiceDispatch);

}  // namespace

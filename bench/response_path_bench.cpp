// What every reported resource response costs on the native side, piece by piece, and the
// cost of dispatching one service call. Run: build/bin/trawler_bench

#include "bridge/json_text.h"
#include "bridge/service_protocol.h"
#include "finder/filters.h"
#include "finder/records/record_json.h"
#include "finder/text/text_conversion.h"

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

void RowText(benchmark::State& state) {
  for (auto _ : state) {
    RequestRecord record;
    Utf16ToUtf8(kUrl, record.url);
    Utf16ToUtf8(kMime, record.mimeType);
    record.announcedLength = 123456789;
    record.status = 200;
    record.statusText = "OK";
    benchmark::DoNotOptimize(WriteJsonText(RowValue(record)));
  }
}
BENCHMARK(RowText);

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

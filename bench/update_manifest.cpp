// How long the update check spends on a manifest: a typical one, one at the 64 KiB cap, and
// hostile documents the reader must refuse quickly.
#include <benchmark/benchmark.h>

#include <string>

#include "update/StrictJson.h"
#include "update/UpdateChecker.h"

namespace {

std::string TypicalManifest() {
    std::string notes;
    for (int i = 0; i < 20; ++i) {
        notes += std::string(i ? "," : "") + "\"Release note number " + std::to_string(i) +
                 " with some \\u00e9scaped text and \\\"quotes\\\"\"";
    }
    return "{\"schemaVersion\":1,\"platform\":\"windows\",\"architecture\":\"x64\","
           "\"latestVersion\":\"1.2.0\",\"minimumSupportedVersion\":\"1.0.0\","
           "\"downloadPagePath\":\"/download\",\"installer\":{\"filename\":\"WrenpostSetup.exe\","
           "\"sizeBytes\":12345678,\"sha256\":\"" +
           std::string(64, 'a') + "\"},\"releaseNotes\":[" + notes + "]}";
}

void RunCheck(benchmark::State& state, const std::string& body) {
    wrenpost::UpdateChecker::HttpFetchResult response;
    response.ok = true;
    response.statusCode = 200;
    response.contentType = "application/json; charset=utf-8";
    response.body = body;
    for (auto _ : state) {
        auto result = wrenpost::UpdateChecker::CheckForUpdates([&] { return response; },
                                                               wrenpost::Version{1, 0, 0});
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

void BM_CheckTypicalManifest(benchmark::State& state) {
    RunCheck(state, TypicalManifest());
}
BENCHMARK(BM_CheckTypicalManifest);

void BM_CheckManifestAtTheSizeCap(benchmark::State& state) {
    std::string body = TypicalManifest();
    body.insert(body.size() - 1,
                ",\"padding\":\"" +
                    std::string(wrenpost::kMaxManifestBytes - body.size() - 14, 'p') + "\"");
    RunCheck(state, body);
}
BENCHMARK(BM_CheckManifestAtTheSizeCap);

void BM_ParseArrayOfSmallNumbers(benchmark::State& state) {
    std::string body = "[0";
    while (body.size() < wrenpost::kMaxManifestBytes - 3) {
        body += ",0";
    }
    body += "]";
    for (auto _ : state) {
        wrenpost::JsonValue value;
        std::string error;
        benchmark::DoNotOptimize(wrenpost::ParseStrictJson(body, value, error));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ParseArrayOfSmallNumbers);

void BM_ObjectWithRepeatedNames(benchmark::State& state) {
    std::string body = "{\"a\":0";
    while (body.size() < wrenpost::kMaxManifestBytes - 8) {
        body += ",\"a\":0";
    }
    body += "}";
    for (auto _ : state) {
        wrenpost::JsonValue value;
        std::string error;
        benchmark::DoNotOptimize(wrenpost::ParseStrictJson(body, value, error));
        benchmark::DoNotOptimize(value.Find("a"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ObjectWithRepeatedNames);

void BM_RefuseDeepNesting(benchmark::State& state) {
    const std::string body(wrenpost::kMaxManifestBytes, '[');
    for (auto _ : state) {
        wrenpost::JsonValue value;
        std::string error;
        benchmark::DoNotOptimize(wrenpost::ParseStrictJson(body, value, error));
    }
}
BENCHMARK(BM_RefuseDeepNesting);

}  // namespace

BENCHMARK_MAIN();

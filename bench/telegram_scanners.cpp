// How long the Bot API readers take on the largest answers the program meets: a getUpdates
// page of 100 updates whose texts are 4,096 \u-escaped characters (~24,000 characters each),
// and the encoding of a maximal message.
#include <benchmark/benchmark.h>

#include <string>

#include "telegram/BotApiText.h"
#include "telegram/TelegramProvider.h"
#include "telegram/Verification.h"

namespace {

std::wstring EscapedText(std::size_t characters) {
    std::wstring text;
    for (std::size_t i = 0; i < characters; ++i) text += L"\\u0418";
    return text;
}

std::wstring UpdatesPage(std::size_t updates, std::size_t textCharacters) {
    const std::wstring text = EscapedText(textCharacters);
    std::wstring body = L"{\"ok\":true,\"result\":[";
    for (std::size_t i = 0; i < updates; ++i) {
        body +=
            (i ? L"," : L"") + std::wstring(L"{\"update_id\":") + std::to_wstring(1000 + i) +
            L",\"message\":{\"message_id\":" + std::to_wstring(i) +
            L",\"from\":{\"id\":5,\"first_name\":\"A\"},\"chat\":{\"id\":5,\"first_name\":\"A\","
            L"\"type\":\"private\"},\"date\":1700000000,\"text\":\"" +
            text + L"\"}}";
    }
    return body + L"]}";
}

void BM_ParseOkResult_FullPage(benchmark::State& state) {
    const std::wstring body = UpdatesPage(100, 4096);
    for (auto _ : state) {
        benchmark::DoNotOptimize(wrenpost::ParseOkResult(body));
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * body.size() * sizeof(wchar_t)));
}
BENCHMARK(BM_ParseOkResult_FullPage)->Unit(benchmark::kMillisecond);

void BM_PollItemFields(benchmark::State& state) {
    const std::wstring item = wrenpost::ParseOkResult(UpdatesPage(1, 4096)).items.at(0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(wrenpost::ExtractIntField(item, L"update_id"));
        const auto text = wrenpost::ExtractStringField(item, L"text");
        benchmark::DoNotOptimize(
            wrenpost::NormalizeVerificationText(wrenpost::DecodeJsonString(*text)));
        const auto chat = wrenpost::ExtractFlatObject(item, L"chat");
        benchmark::DoNotOptimize(wrenpost::ChatDisplayName(*chat));
    }
}
BENCHMARK(BM_PollItemFields)->Unit(benchmark::kMicrosecond);

void BM_SendMessageRequest_MaxText(benchmark::State& state) {
    const std::wstring body(6000, L'\u0436');
    for (auto _ : state) {
        const std::wstring text = wrenpost::ComposeMessageText(L"New Outlook Mail", body);
        benchmark::DoNotOptimize(wrenpost::MakeSendMessageRequest(L"123:ABC", L"-100123", text));
    }
}
BENCHMARK(BM_SendMessageRequest_MaxText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

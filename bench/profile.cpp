// Reading and writing a large profile file (1,000 recipients, 200 folders, 200 titles), with a
// std::wregex reading of the same file in the same run as the yardstick for the scanners.
#include <benchmark/benchmark.h>

#include <regex>

#include "common/JsonText.h"
#include "common/TextFile.h"
#include "profile/ProfileConfig.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

ProfileConfig LargeConfig() {
    ProfileConfig config = DefaultProfileConfig();
    config.ProfileName = L"Operations";
    config.DefaultTitle = L"New Outlook Mail";
    config.UseSameTitle = false;
    config.CheckInterval = 15;
    for (int i = 0; i < 1000; ++i) {
        const std::wstring n = std::to_wstring(i);
        config.Recipients.push_back({L"-100" + n + L"4455", L"Recipient \"" + n + L"\" Caf\u00e9",
                                     i % 3 != 0, L"2025-03-07 14:05:09",
                                     i % 2 ? L"Never" : L"2025-11-30 08:15:00"});
    }
    for (int i = 0; i < 200; ++i) {
        const std::wstring n = std::to_wstring(i);
        const std::wstring path = L"\\\\Mailbox - Operations\\Inbox\\Team " + n;
        config.SelectedFolders.push_back(
            {L"Team " + n, path, L"00000000" + std::wstring(40, L'A') + n,
             L"0000000038A1BB1005E5101AA1BB08002B2A56C2" + std::wstring(80, L'F'),
             L"Mailbox - Operations", L"2025-03-07 14:00:00", 0});
        config.FolderTitles.push_back({path, L"Team " + n + L" mail"});
    }
    return config;
}

const std::wstring kValue = LR"re("([^"\\]*(?:\\.[^"\\]*)*)")re";

std::wstring RegexString(const std::wstring& text, const std::wstring& key) {
    std::wsmatch m;
    if (std::regex_search(text, m, std::wregex(L"\"" + key + LR"re("\s*:\s*)re" + kValue))) {
        return JsonUnescape(m[1].str());
    }
    return std::wstring();
}

bool RegexBool(const std::wstring& text, const std::wstring& key, bool fallback) {
    std::wsmatch m;
    if (std::regex_search(text, m, std::wregex(L"\"" + key + LR"re("\s*:\s*(true|false))re"))) {
        return m[1].str() == L"true";
    }
    return fallback;
}

// The same reading as the program's, done with std::wregex as the patterns are written.
ProfileConfig ParseWithRegex(const std::wstring& text) {
    static const std::wregex recipient(
        LR"re(\{\s*"ChatId"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"DisplayName"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"Allowed"\s*:\s*(true|false)\s*,\s*"RegisteredOn"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"LastNotification"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*\})re");
    static const std::wregex folder(
        LR"re(\{\s*"Name"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"FolderPath"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"EntryId"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"StoreId"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"StoreName"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"DetectedOn"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*\})re");
    static const std::wregex title(
        LR"re(\{\s*"FolderPath"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*,\s*"Title"\s*:\s*"([^"\\]*(?:\\.[^"\\]*)*)"\s*\})re");
    ProfileConfig config = DefaultProfileConfig();
    config.ProfileName = RegexString(text, L"ProfileName");
    config.Source = RegexString(text, L"Source");
    config.Operation = RegexString(text, L"Operation");
    config.Provider = RegexString(text, L"Provider");
    std::wsmatch m;
    if (std::regex_search(text, m, std::wregex(LR"re("CheckInterval"\s*:\s*(\d+))re"))) {
        config.CheckInterval = std::stoi(m[1].str());
    }
    config.IncludeOldMessages = RegexBool(text, L"IncludeOldMessages", false);
    for (std::wsregex_iterator it(text.begin(), text.end(), recipient), end; it != end; ++it) {
        config.Recipients.push_back({JsonUnescape((*it)[1].str()), JsonUnescape((*it)[2].str()),
                                     (*it)[3].str() == L"true", JsonUnescape((*it)[4].str()),
                                     JsonUnescape((*it)[5].str())});
    }
    for (std::wsregex_iterator it(text.begin(), text.end(), folder), end; it != end; ++it) {
        config.SelectedFolders.push_back(
            {JsonUnescape((*it)[1].str()), JsonUnescape((*it)[2].str()),
             JsonUnescape((*it)[3].str()), JsonUnescape((*it)[4].str()),
             JsonUnescape((*it)[5].str()), JsonUnescape((*it)[6].str()), 0});
    }
    config.UseSameTitle = RegexBool(text, L"UseSameTitle", true);
    config.DefaultTitle = RegexString(text, L"DefaultTitle");
    for (std::wsregex_iterator it(text.begin(), text.end(), title), end; it != end; ++it) {
        config.FolderTitles.push_back({JsonUnescape((*it)[1].str()), JsonUnescape((*it)[2].str())});
    }
    return config;
}

struct Fixture {
    Fixture() : config(LargeConfig()), path(dir / L"OperationsConfig.json") {
        ProfileConfigStore store;
        if (!store.WriteProfileConfig(path, config)) {
            std::abort();
        }
    }
    testing::TempDir dir;
    ProfileConfig config;
    std::filesystem::path path;
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void BM_WriteProfile(benchmark::State& state) {
    Fixture& f = Shared();
    ProfileConfigStore store;
    for (auto _ : state) {
        if (!store.WriteProfileConfig(f.path, f.config)) {
            state.SkipWithError("write failed");
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(f.path)));
}
BENCHMARK(BM_WriteProfile)->Unit(benchmark::kMillisecond);

void BM_ReadProfile(benchmark::State& state) {
    Fixture& f = Shared();
    ProfileConfigStore store;
    for (auto _ : state) {
        if (!store.ReadProfileConfig(f.path) || store.Current() != f.config) {
            state.SkipWithError("read back differs");
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(f.path)));
}
BENCHMARK(BM_ReadProfile)->Unit(benchmark::kMillisecond);

void BM_ReadProfileWithRegex(benchmark::State& state) {
    Fixture& f = Shared();
    for (auto _ : state) {
        std::wstring text;
        if (!ReadTextFile(f.path, text) || ParseWithRegex(text) != f.config) {
            state.SkipWithError("regex reading differs");
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(f.path)));
}
BENCHMARK(BM_ReadProfileWithRegex)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wrenpost

BENCHMARK_MAIN();

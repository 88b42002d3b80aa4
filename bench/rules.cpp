// Rule evaluation over many rules and messages, and Rules.json load/save of a 1,000-rule file,
// with a std::wregex-based field reader alongside the scanners for comparison.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <regex>

#include "common/JsonText.h"
#include "common/Text.h"
#include "rules/RuleEvaluation.h"
#include "rules/RuleJsonReaders.h"
#include "rules/RulesFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

constexpr int kRules = 1000;
constexpr int kMessages = 10000;

std::wstring FolderName(int i) { return L"\\\\Mailbox\\Inbox\\Folder" + ToWideDecimal(i); }

// 1,000 enabled rules spread over `folders` folders; each has two conditions that real subjects
// seldom meet, so nearly every rule of a message's folder is tested in full.
RulesFile MakeRules(int folders) {
    RulesFile file;
    file.Enabled = true;
    for (int i = 0; i < kRules; ++i) {
        NotificationRule rule;
        rule.Id = L"R" + ToWideDecimal(i + 1);
        rule.Name = L"Rule number " + ToWideDecimal(i + 1);
        rule.Order = i + 1;
        rule.FolderPath = FolderName(i % folders);
        rule.ConditionLogic = i % 2 ? L"Any" : L"All";
        rule.Conditions = {{L"Subject", L"Contains", L"Project-" + ToWideDecimal(i), false},
                           {L"Sender", L"Starts With", L"Partner " + ToWideDecimal(i), i % 3 == 0}};
        rule.Actions = {{L"Send Telegram Notification", L""},
                        {L"Override Notification Title", L"Rule " + ToWideDecimal(i)}};
        file.Rules.push_back(std::move(rule));
    }
    return file;
}

std::vector<MailSnapshot> MakeMessages(int folders) {
    std::vector<MailSnapshot> messages(kMessages);
    for (int i = 0; i < kMessages; ++i) {
        messages[i].FolderPath = FolderName(i % folders);
        messages[i].Subject = L"RE: Weekly status of project-" + ToWideDecimal(i % 1500) +
                              L" and the budget for next quarter";
        messages[i].SenderName = L"Partner " + ToWideDecimal(i % 700) + L" (Example Ltd)";
    }
    return messages;
}

void EvaluateAll(benchmark::State& state) {
    const int folders = static_cast<int>(state.range(0));
    const auto rules = PrepareMonitorRules(MakeRules(folders));
    const auto messages = MakeMessages(folders);
    std::size_t sent = 0;
    for (auto _ : state) {
        for (const MailSnapshot& mail : messages) {
            sent += EvaluateRules(rules, mail).ShouldSend ? 1 : 0;
        }
    }
    benchmark::DoNotOptimize(sent);
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(kMessages) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
// Argument: number of watched folders the 1,000 rules are spread over (1 = all in one folder).
BENCHMARK(EvaluateAll)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// ---- load and save

const std::wstring kQuoted = LR"re("([^"\\]*(?:\\.[^"\\]*)*)")re";

std::wstring RegexString(const std::wstring& text, const std::wstring& key) {
    std::wsmatch m;
    return std::regex_search(text, m, std::wregex(L"\"" + key + LR"("\s*:\s*)" + kQuoted))
               ? JsonUnescape(m[1].str())
               : std::wstring();
}

bool RegexBool(const std::wstring& text, const std::wstring& key, bool fallback) {
    std::wsmatch m;
    return std::regex_search(text, m, std::wregex(L"\"" + key + LR"("\s*:\s*(true|false))"))
               ? m[1].str() == L"true"
               : fallback;
}

std::int32_t RegexInt(const std::wstring& text, const std::wstring& key, std::int32_t fallback) {
    std::wsmatch m;
    return std::regex_search(text, m, std::wregex(L"\"" + key + LR"("\s*:\s*(-?\d+))"))
               ? std::stoi(m[1].str())
               : fallback;
}

std::wstring RegexArray(const std::wstring& text, const std::wstring& key) {
    std::wsmatch m;
    if (!std::regex_search(text, m, std::wregex(L"\"" + key + LR"("\s*:\s*\[)"))) {
        return L"";
    }
    // The bracket walk is not a regular expression in either reader.
    const std::size_t start = static_cast<std::size_t>(m.position(0) + m.length(0));
    int depth = 1;
    bool inString = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (inString) {
            if (c == L'\\') {
                ++i;
            } else if (c == L'"') {
                inString = false;
            }
        } else if (c == L'"') {
            inString = true;
        } else if (c == L'[') {
            ++depth;
        } else if (c == L']' && --depth == 0) {
            return text.substr(start, i - start);
        }
    }
    return L"";
}

// The straightforward reader: the documented patterns through std::wregex, per rule object.
RulesFile RegexParse(const std::wstring& text) {
    RulesFile file;
    file.Version = RegexInt(text, L"Version", 1);
    file.Enabled = RegexBool(text, L"Enabled", false);
    const std::wstring rulesText = RegexArray(text, L"Rules");
    for (const std::wstring_view objectView : SplitJsonObjects(rulesText)) {
        const std::wstring object(objectView);
        NotificationRule rule;
        rule.Id = RegexString(object, L"Id");
        rule.Name = RegexString(object, L"Name");
        rule.Enabled = RegexBool(object, L"Enabled", true);
        rule.Order = RegexInt(object, L"Order", 0);
        rule.Version = RegexInt(object, L"Version", 1);
        rule.FolderPath = RegexString(object, L"FolderPath");
        rule.ConditionLogic = RegexString(object, L"ConditionLogic");
        if (rule.ConditionLogic.empty()) {
            rule.ConditionLogic = L"All";
        }
        const std::wstring conditions = RegexArray(object, L"Conditions");
        for (const std::wstring_view c : SplitJsonObjects(conditions)) {
            const std::wstring condition(c);
            rule.Conditions.push_back({RegexString(condition, L"Field"),
                                       RegexString(condition, L"Operator"),
                                       RegexString(condition, L"Value"),
                                       RegexBool(condition, L"CaseSensitive", false)});
        }
        const std::wstring actions = RegexArray(object, L"Actions");
        for (const std::wstring_view a : SplitJsonObjects(actions)) {
            const std::wstring action(a);
            rule.Actions.push_back({RegexString(action, L"Type"), RegexString(action, L"Value")});
        }
        file.Rules.push_back(std::move(rule));
    }
    return file;
}

void ParseWithScanners(benchmark::State& state) {
    const std::wstring text = FormatRulesFile(MakeRules(10));
    for (auto _ : state) {
        RulesFile file;
        if (ParseRulesFileText(text, file) != RuleLoadResult::Loaded) {
            state.SkipWithError("not loaded");
        }
        benchmark::DoNotOptimize(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(ParseWithScanners)->Unit(benchmark::kMillisecond);

void ParseWithRegex(benchmark::State& state) {
    const std::wstring text = FormatRulesFile(MakeRules(10));
    RulesFile expected;
    if (ParseRulesFileText(text, expected) != RuleLoadResult::Loaded ||
        !(RegexParse(text) == expected)) {
        state.SkipWithError("the regex reader disagrees");
        return;
    }
    for (auto _ : state) {
        RulesFile file = RegexParse(text);
        benchmark::DoNotOptimize(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}
BENCHMARK(ParseWithRegex)->Unit(benchmark::kMillisecond);

void LoadFile(benchmark::State& state) {
    testing::TempDir dir;
    const auto path = dir / L"BenchRules.json";
    const RulesFile rules = MakeRules(10);
    if (!SaveRulesFile(path, rules)) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        RulesFile file;
        if (LoadRulesFile(path, file) != RuleLoadResult::Loaded) {
            state.SkipWithError("not loaded");
        }
        benchmark::DoNotOptimize(file);
    }
    state.counters["file bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(LoadFile)->Unit(benchmark::kMillisecond);

void SaveFile(benchmark::State& state) {
    testing::TempDir dir;
    const auto path = dir / L"BenchRules.json";
    const RulesFile rules = MakeRules(10);
    for (auto _ : state) {
        if (!SaveRulesFile(path, rules)) {
            state.SkipWithError("save failed");
        }
    }
}
BENCHMARK(SaveFile)->Unit(benchmark::kMillisecond);

void FormatText(benchmark::State& state) {
    const RulesFile rules = MakeRules(10);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatRulesFile(rules));
    }
}
BENCHMARK(FormatText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace wrenpost

BENCHMARK_MAIN();

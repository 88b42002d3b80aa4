// Rules.json: the exact bytes written, the tolerant reader, the round trip of any rules, crash-safe
// saving and the recovery of a corrupt file.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "common/Text.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "support/PromptRecorder.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::DatedBackups;
using testing::ReadAllBytes;
using testing::TempDir;
using testing::WriteAllBytes;

const std::wstring kSend(kActionSend), kTitle(kActionOverrideTitle);

const NotificationRule kInvoiceRule{.Id = L"R1",
                                    .Name = L"Bills \"Q1\" \\/\t\u00e9\u00ff",
                                    .Order = 1,
                                    .FolderPath = L"\\\\Mailbox\\Inbox",
                                    .Conditions = {{L"Subject", L"Contains", L"invoice", false},
                                                   {L"Sender", L"Equals", L"B", true}},
                                    .Actions = {{kSend, L""}, {kTitle, L"Bills"}}};

std::wstring Wrap(const std::wstring& ruleObjects) {
    return L"{\"Version\": 1, \"Enabled\": true, \"Rules\": [" + ruleObjects + L"]}";
}

// The saved bytes of lines written as "<indent level><text>" and joined by '|': Latin-1 stays one
// byte per character, lines end with CR LF.
std::string FileBytes(std::wstring_view compact) {
    std::string bytes;
    for (std::size_t from = 0, bar = 0; bar != compact.npos; from = bar + 1) {
        bar = compact.find(L'|', from);
        bytes += std::string(4 * (compact[from] - L'0'), ' ');
        for (const wchar_t c : compact.substr(from + 1, bar - from - 1)) {
            bytes.push_back(static_cast<char>(c));
        }
        bytes += "\r\n";
    }
    return bytes;
}

// The saved samples pin the layout of filled rules; these are the escapes, a negative order and
// empty lists.
TEST(RulesFileLayout, TheSavedBytesAreExact) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    const RulesFile file{.Enabled = true, .Rules = {{.Name = kInvoiceRule.Name, .Order = -7}}};
    ASSERT_TRUE(SaveRulesFile(path, file));
    EXPECT_EQ(
        ReadAllBytes(path),
        FileBytes(L"0{|1\"Version\": 1,|1\"Enabled\": true,|1\"Rules\": [|2{|3\"Id\": \"\",|"
                  L"3\"Name\": \"Bills \\\"Q1\\\" \\\\/\\t\u00e9\u00ff\",|3\"Enabled\": true,|"
                  L"3\"Order\": -7,|3\"Version\": 1,|3\"FolderPath\": \"\",|"
                  L"3\"ConditionLogic\": \"All\",|3\"Conditions\": [],|3\"Actions\": []|2}|1]|0}"));
    RulesFile back;
    ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, file);
    EXPECT_FALSE(SaveRulesFile(std::filesystem::path(), file));
}

// Only Unreadable gives a reason; only Loaded replaces the record.
TEST(RulesFileReading, TellsMissingUnreadableAndCorruptApartAndLeavesTheRecordAlone) {
    TempDir dir;
    const RulesFile sentinel{.Version = 42, .Rules = {kInvoiceRule}};
    WriteAllBytes(dir / L"blank.json", "\r\n\t \r\n");
    WriteAllBytes(dir / L"corrupt.json", "{\"Version\": 1, \"Rules\": [");
    std::filesystem::create_directory(dir / L"folder.json");
    const std::pair<std::filesystem::path, RuleLoadResult> cases[] = {
        {dir / L"nothing.json", RuleLoadResult::Missing},
        {dir / L"blank.json", RuleLoadResult::Missing},
        {dir / L"corrupt.json", RuleLoadResult::Corrupt},
        {dir / L"folder.json", RuleLoadResult::Unreadable},  // there, but not a file to read
    };
    for (const auto& [path, expected] : cases) {
        RulesFile file = sentinel;
        std::wstring reason;
        EXPECT_EQ(LoadRulesFile(path, file, &reason), expected) << path;
        EXPECT_EQ(reason.empty(), expected != RuleLoadResult::Unreadable) << path;
        EXPECT_EQ(file, sentinel) << path;
    }
    RulesFile file = sentinel;
    EXPECT_EQ(LoadRulesFile(dir / L"folder.json", file), RuleLoadResult::Unreadable);  // no reason
    for (const wchar_t* text :
         {L"{\"Version\": 1, \"Rules\": [", L"{\"Version\": 1, \"Rules\": []}}",
          L"}{\"Version\": 1, \"Rules\": []}", L"{\"Version\": 1, \"Rules\": [], \"N\": \"open}",
          L"{\"Version\": 1}", L"{\"Rules\": []}", L"{\"Version\": 2147483648, \"Rules\": []}",
          L"{\"Version\": 1, \"Rules\": [{}, {\"Order\": -2147483649}]}"}) {
        EXPECT_EQ(ParseRulesFileText(text, file), RuleLoadResult::Corrupt) << WideToUtf8(text);
    }
    EXPECT_EQ(file, sentinel);
}

TEST(RulesFileReading, TolerantReader) {
    const RuleCondition subject{L"Subject", L"Contains", L"x", false};
    const std::pair<std::wstring, RulesFile> cases[] = {
        // Missing keys and values of the wrong kind take the defaults; "2" of 2.5 is read.
        {L"{\"Rules\": [{ }], \"Version\" : \"x\"}", {.Rules = {{}}}},
        {Wrap(L"{\"ConditionLogic\": \"\", \"Enabled\": false}, {\"Order\": \"3\", \"Enabled\": "
              L"\"false\", \"Version\": 2.5, \"Name\": 7, \"Conditions\": [{\"Field\": \"S\", "
              L"\"CaseSensitive\": \"true\"}]}"),
         {1, true, {{.Enabled = false}, {.Version = 2, .Conditions = {{L"S", L"", L"", false}}}}}},
        // The first occurrence of a top-level key wins; the extremes of 32 bits are read.
        {L"{\"Version\": -2147483648, \"Enabled\": true, \"Rules\": [{\"Version\": 9, \"Order\": "
         L"2147483647, \"Enabled\": false}, {\"Order\": 0000000000000000000042}]}",
         {INT32_MIN, true, {{.Enabled = false, .Order = INT32_MAX, .Version = 9}, {.Order = 42}}}},
        // Brackets and quotes in strings do not count; things between rule objects are ignored.
        {Wrap(L"1, \"x\", {\"Name\": \"{[ \\\" }}]] \\\\\", \"FolderPath\": \"x\"} junk, [ ], {}"),
         {1, true, {{.Name = L"{[ \" }}]] \\", .FolderPath = L"x"}, {}}}},
        // The older one-condition layout, read from the rule's own members only.
        {Wrap(L"{\"Id\": \"R4\", \"Field\": \"Subject\", \"Operator\": \"Contains\", \"Value\": "
              L"\"x\", \"Action\": \"Send Telegram Notification\", \"NotificationTitle\": \"T\"}, "
              L"{\"Action\": \"Ignore Email\", \"NotificationTitle\": \"T\"}, {\"Action\": \"X\"}, "
              L"{\"Action\": \"\", \"NotificationTitle\": \"T\"}, {\"Operator\": \"Equals\"}, "
              L"{\"Field\": \"\", \"Value\": \"\"}, {\"Conditions\": [], \"Actions\": [{\"Type\": "
              L"\"T\", \"Value\": \"Boss\"}]}"),
         // clang-format off
         {1, true, {{.Id = L"R4", .Conditions = {subject},
                     .Actions = {{kTitle, L"T"}, {kSend, L""}}},
                    {.Actions = {{L"Ignore Email", L""}}}, {.Actions = {{L"X", L""}}}, {},
                    {.Conditions = {{L"", L"Equals", L"", false}}}, {},
                    {.Actions = {{L"T", L"Boss"}}}}}},
        // clang-format on
        // The newer layout wins over the older keys.
        {Wrap(L"{\"Field\": \"Sender\", \"Value\": \"old\", \"Action\": \"Ignore Email\", "
              L"\"Conditions\": [{\"Field\": \"Subject\", \"Operator\": \"Contains\", \"Value\": "
              L"\"x\"}], \"Actions\": [{\"Type\": \"Send Telegram Notification\"}]}"),
         {1, true, {{.Conditions = {subject}, .Actions = {{kSend, L""}}}}}},
    };
    for (const auto& [text, expected] : cases) {
        RulesFile file;
        ASSERT_EQ(ParseRulesFileText(text, file), RuleLoadResult::Loaded) << WideToUtf8(text);
        EXPECT_EQ(file, expected) << WideToUtf8(text);
    }
}

// No leaves the corrupt file alone; Yes backs it up, then writes a default file; without a
// backup the corrupt file is kept.
TEST(RulesFileRecovery, YesBacksUpThenWritesADefaultFileAndNoWritesNothing) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    std::vector<LogLevel> levels;
    const LogFunction log = [&](LogLevel level, const std::wstring&) { levels.push_back(level); };
    testing::PromptRecorder prompts;
    WriteAllBytes(path, "}{");
    prompts.QueueAnswer(PromptAnswer::No);
    EXPECT_EQ(HandleCorruptRulesFile(path, 0, log), CorruptRulesChoice::Declined);
    EXPECT_EQ(ReadAllBytes(path), "}{");
    EXPECT_TRUE(DatedBackups(path).empty());
    EXPECT_EQ(prompts.Requests().at(0).buttons, PromptButtons::YesNo);
    prompts.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(HandleCorruptRulesFile(path, 0, log), CorruptRulesChoice::Recreated);
    ASSERT_EQ(DatedBackups(path).size(), 1u);
    EXPECT_EQ(ReadAllBytes(DatedBackups(path)[0]), "}{");
    RulesFile file{.Version = 42};
    ASSERT_EQ(LoadRulesFile(path, file), RuleLoadResult::Loaded);
    EXPECT_EQ(file, RulesFile{});
    EXPECT_EQ(levels,
              (std::vector{LogLevel::Error, LogLevel::Error, LogLevel::Info, LogLevel::Info}));
    WriteAllBytes(path, "}{");
    for (const auto& earlier : DatedBackups(path)) {
        std::filesystem::remove(earlier);
    }
    for (std::time_t t = std::time(nullptr) - 1, end = t + 30; t < end; ++t) {
        std::filesystem::create_directories(DatedRulesBackupPath(path, t));  // no copy can be made
    }
    EXPECT_FALSE(RecreateCorruptRulesFile(path, log));
    EXPECT_EQ(ReadAllBytes(path), "}{");
    EXPECT_EQ(levels.back(), LogLevel::Error);
}

// Saving over a rules file: what is there decides whether it is replaced; a corrupt one is kept
// as a dated backup first.
constexpr std::time_t kNow = 1741352709;  // the stamp below in most zones' day; compared by form

RulesFile OneRule() {
    return {.Enabled = true, .Rules = {{.Name = L"Spam"}}};
}

TEST(RulesFileSave, WhatIsThereDecidesWhetherItIsReplaced) {
    const struct {
        const char* name;
        const char* before;  // nullptr: nothing there; "/": a folder (unreadable)
        RulesSaveResult result;
        std::size_t backups;
    } cases[] = {
        {"missing", nullptr, RulesSaveResult::Saved, 0},
        {"rules", "{\"Version\": 1, \"Rules\": []}", RulesSaveResult::Saved, 0},
        {"corrupt", "{\"Version\": 1, \"Rules\": [", RulesSaveResult::Saved, 1},
        {"unreadable", "/", RulesSaveResult::Unreadable, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto path = dir / L"WorkRules.json";
        if (c.before != nullptr && std::string(c.before) == "/") {
            std::filesystem::create_directory(path);
        } else if (c.before != nullptr) {
            WriteAllBytes(path, c.before);
        }
        EXPECT_EQ(SaveRulesOverFile(path, OneRule(), kNow, nullptr), c.result);
        const auto backups = DatedBackups(path);
        ASSERT_EQ(backups.size(), c.backups);
        if (c.backups == 1) {
            EXPECT_EQ(backups[0], DatedRulesBackupPath(path, kNow));
            EXPECT_EQ(ReadAllBytes(backups[0]), c.before);
        }
        RulesFile read;
        if (c.result == RulesSaveResult::Saved) {
            ASSERT_EQ(LoadRulesFile(path, read), RuleLoadResult::Loaded);
            EXPECT_EQ(read, OneRule());
        } else {
            EXPECT_TRUE(std::filesystem::is_directory(path));
        }
    }
}

TEST(RulesFileSave, DatedBackupsKeepTheNewestTen) {
    TempDir dir;
    const auto path = dir / L"WorkRules.json";
    const std::wstring name = DatedRulesBackupPath(path, kNow).filename().wstring();
    ASSERT_EQ(name.size(), std::wstring(L"WorkRules.20250307-140509.bak").size());
    ASSERT_TRUE(name.starts_with(L"WorkRules.") && name[18] == L'-' && name.ends_with(L".bak"));
    WriteAllBytes(dir / L"WorkRules.bak", "older kind, not dated");
    for (int i = 0; i < 12; ++i) {
        WriteAllBytes(path, "} corrupt " + std::to_string(i));
        EXPECT_EQ(SaveRulesOverFile(path, OneRule(), kNow + 3600 * i, nullptr),
                  RulesSaveResult::Saved);
    }
    const auto backups = DatedBackups(path);
    ASSERT_EQ(backups.size(), 11u);  // ten dated ones and the undated file, which is not ours
    EXPECT_EQ(backups.back(), dir / L"WorkRules.bak");
    EXPECT_EQ(ReadAllBytes(backups[0]), "} corrupt 2");
    EXPECT_EQ(ReadAllBytes(backups[9]), "} corrupt 11");
}

}  // namespace
}  // namespace wrenpost

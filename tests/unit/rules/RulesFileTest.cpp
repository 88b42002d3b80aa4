// Rules.json: the exact bytes written, the tolerant reader, the round trip of any rules, crash-safe
// saving and the recovery of a corrupt file.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "common/Text.h"
#include "common/TextFile.h"
#include "rules/RulesFile.h"
#include "support/PromptRecorder.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;
using testing::WriteAllBytes;

const std::wstring kSend = L"Send Telegram Notification";
const std::wstring kTitle = L"Override Notification Title";

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

TEST(RulesFileLayout, TheSavedBytesAreExact) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    ASSERT_TRUE(SaveRulesFile(path, RulesFile{.Version = -3}));
    EXPECT_EQ(ReadAllBytes(path),
              FileBytes(L"0{|1\"Version\": -3,|1\"Enabled\": false,|1\"Rules\": []|0}"));
    const RulesFile file{.Enabled = true, .Rules = {kInvoiceRule, NotificationRule{.Order = -7}}};
    ASSERT_TRUE(SaveRulesFile(path, file));
    EXPECT_EQ(
        ReadAllBytes(path),
        FileBytes(
            L"0{|1\"Version\": 1,|1\"Enabled\": true,|1\"Rules\": [|2{|3\"Id\": \"R1\",|"
            L"3\"Name\": \"Bills \\\"Q1\\\" \\\\/\\t\u00e9\u00ff\",|3\"Enabled\": true,|"
            L"3\"Order\": 1,|3\"Version\": 1,|3\"FolderPath\": \"\\\\\\\\Mailbox\\\\Inbox\",|"
            L"3\"ConditionLogic\": \"All\",|3\"Conditions\": [|4{|5\"Field\": \"Subject\",|"
            L"5\"Operator\": \"Contains\",|5\"Value\": \"invoice\",|5\"CaseSensitive\": false|4},|"
            L"4{|5\"Field\": \"Sender\",|5\"Operator\": \"Equals\",|5\"Value\": \"B\",|"
            L"5\"CaseSensitive\": true|4}|3],|3\"Actions\": [|4{|"
            L"5\"Type\": \"Send Telegram Notification\",|5\"Value\": \"\"|4},|4{|"
            L"5\"Type\": \"Override Notification Title\",|5\"Value\": \"Bills\"|4}|3]|2},|2{|"
            L"3\"Id\": \"\",|3\"Name\": \"\",|3\"Enabled\": true,|3\"Order\": -7,|"
            L"3\"Version\": 1,|3\"FolderPath\": \"\",|3\"ConditionLogic\": \"All\",|"
            L"3\"Conditions\": [],|3\"Actions\": []|2}|1]|0}"));
    RulesFile back;
    ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, file);
}

TEST(RulesFileSaving, CreatesFoldersWritesWideTextsAsUtf8AndAFailedSaveLeavesTheOldFile) {
    TempDir dir;
    const auto path = dir.Path() / L"a" / L"b" / L"xRules.json";
    // Any character above U+00FF makes the whole file UTF-8 with a byte-order mark.
    const RulesFile file{.Rules = {NotificationRule{.Name = L"\u0418\u0432 \u00e9"}}};
    ASSERT_TRUE(SaveRulesFile(path, file));
    const std::string before = ReadAllBytes(path);
    EXPECT_TRUE(before.starts_with("\xEF\xBB\xBF{\r\n")) << before;
    EXPECT_NE(before.find("\"Name\": \"\xD0\x98\xD0\xB2 \xC3\xA9\",\r\n"), std::string::npos);
    WriteAllBytes(dir / L"file", "x");
    EXPECT_FALSE(SaveRulesFile(dir.Path() / L"file" / L"xRules.json", RulesFile{}));
    EXPECT_FALSE(SaveRulesFile(std::filesystem::path(), RulesFile{}));
}

TEST(RulesFileReading, MissingBlankAndCorruptFilesLeaveTheRecordAlone) {
    TempDir dir;
    const RulesFile sentinel{.Version = 42, .Rules = {kInvoiceRule}};
    RulesFile file = sentinel;
    EXPECT_EQ(LoadRulesFile(dir / L"nothing.json", file), RuleLoadResult::Missing);
    EXPECT_EQ(LoadRulesFile(dir.Path(), file), RuleLoadResult::Missing);  // a folder
    WriteAllBytes(dir / L"blank.json", "\r\n\t \r\n");
    EXPECT_EQ(LoadRulesFile(dir / L"blank.json", file), RuleLoadResult::Missing);
    for (const wchar_t* text :
         {L"{\"Version\": 1, \"Rules\": [", L"{\"Version\": 1, \"Rules\": []}}",
          L"}{\"Version\": 1, \"Rules\": []}", L"{\"Version\": 1, \"Rules\": []]}",
          L"{\"Version\": 1, \"Rules\": [], \"N\": \"open}", L"{\"Version\": 1}",
          L"{\"Rules\": []}", L"{Version: 1, Rules: []}", L"\u00ff",
          L"{\"Version\": 2147483648, \"Rules\": []}",
          L"{\"Version\": 1, \"Rules\": [{\"Order\": -2147483649}]}",
          L"{\"Version\": 1, \"Rules\": [{}, {\"Version\": 99999999999999999999}]}"}) {
        EXPECT_EQ(ParseRulesFileText(text, file), RuleLoadResult::Corrupt) << WideToUtf8(text);
    }
    EXPECT_EQ(file, sentinel);
}

TEST(RulesFileReading, TolerantReader) {
    const RuleCondition subject{L"Subject", L"Contains", L"x", false};
    const struct {
        std::wstring text;
        RulesFile expected;
    } cases[] = {
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
        // Brackets and quotes inside strings do not count; things between rule objects are
        // ignored.
        {Wrap(L"1, \"x\", {\"Name\": \"{[ \\\" }}]] \\\\\", \"FolderPath\": \"x\"} junk, [ ], {}"),
         {1, true, {{.Name = L"{[ \" }}]] \\", .FolderPath = L"x"}, {}}}},
        // The older one-condition layout, read from the rule's own members only.
        {Wrap(L"{\"Id\": \"R4\", \"Field\": \"Subject\", \"Operator\": \"Contains\", \"Value\": "
              L"\"x\", \"Action\": \"Send Telegram Notification\", \"NotificationTitle\": \"T\"}, "
              L"{\"Action\": \"Ignore Email\", \"NotificationTitle\": \"T\"}, {\"Action\": \"X\"}, "
              L"{\"Action\": \"\", \"NotificationTitle\": \"T\"}, {\"Operator\": \"Equals\"}, "
              L"{\"Field\": \"\", \"Value\": \"\"}, {\"Conditions\": [], \"Actions\": [{\"Type\": "
              L"\"T\", \"Value\": \"Boss\"}]}"),
         {1,
          true,
          {{.Id = L"R4", .Conditions = {subject}, .Actions = {{kTitle, L"T"}, {kSend, L""}}},
           {.Actions = {{L"Ignore Email", L""}}},
           {.Actions = {{L"X", L""}}},
           {},
           {.Conditions = {{L"", L"Equals", L"", false}}},
           {},
           {.Actions = {{L"T", L"Boss"}}}}}},
        // The newer layout wins over the older keys.
        {Wrap(L"{\"Field\": \"Sender\", \"Value\": \"old\", \"Action\": \"Ignore Email\", "
              L"\"Conditions\": [{\"Field\": \"Subject\", \"Operator\": \"Contains\", \"Value\": "
              L"\"x\"}], \"Actions\": [{\"Type\": \"Send Telegram Notification\"}]}"),
         {1, true, {{.Conditions = {subject}, .Actions = {{kSend, L""}}}}}},
    };
    for (const auto& c : cases) {
        RulesFile file;
        ASSERT_EQ(ParseRulesFileText(c.text, file), RuleLoadResult::Loaded) << WideToUtf8(c.text);
        EXPECT_EQ(file, c.expected) << WideToUtf8(c.text);
    }
}

// Whatever rules the program holds, saving and loading gives them back unchanged. Texts lean on
// the characters the format treats specially, key names and the file's own syntax; every fourth
// file adds characters above U+00FF, surrogate pairs included.
TEST(RulesFileRoundTrip, AnyRulesComeBackEqual) {
    std::mt19937 random(1);
    const auto count = [&](int max) { return static_cast<int>(random() % (max + 1)); };
    // clang-format off
    const std::wstring_view pieces[] = {L"\"", L"\\", L"\n", L"\r", L"\t", L"{}[]:, ", L"\"Rules\": [",
        L"\"Value\": \"v\"", L"\\\"", L"\x01", std::wstring_view(L"\0", 1), L"\u00e9\u00ff\u0080",
        L"\uFEFF", L"R1", L"\u0418\U0001F600\uFFFD\uD7FF\uE000\U0010FFFF"};
    // clang-format on
    for (int i = 0; i < 1200; ++i) {
        const int kinds = i % 4 == 0 ? 15 : 14;
        const auto text = [&] {
            std::wstring t;
            for (int n = count(5); n > 0; --n) t += pieces[count(kinds - 1)];
            return t;
        };
        const auto number = [&] {
            const std::int32_t picks[] = {count(6) - 3, INT32_MIN, INT32_MAX,
                                          static_cast<std::int32_t>(random())};
            return picks[count(3)];
        };
        RulesFile file{number(), count(1) == 1, {}};
        for (int n = count(3); n > 0; --n) {
            // An empty logic is read back as "All" by design.
            file.Rules.push_back(
                {text(), text(), count(1) == 1, number(), number(), text(), text() + L"A"});
            for (int k = count(2); k > 0; --k) {
                file.Rules.back().Conditions.push_back({text(), text(), text(), count(1) == 1});
                file.Rules.back().Actions.push_back({text(), text()});
            }
        }
        RulesFile back;
        ASSERT_EQ(ParseRulesFileText(DecodeTextFile(EncodeTextFile(FormatRulesFile(file))), back),
                  RuleLoadResult::Loaded)
            << i;
        ASSERT_EQ(back, file) << i;
    }
}

struct RecoveryFixture {
    TempDir dir;
    std::filesystem::path path = dir / L"AliceRules.json";
    std::vector<std::pair<LogLevel, std::wstring>> lines;
    LogFunction log = [this](LogLevel level, const std::wstring& text) {
        lines.emplace_back(level, text);
    };
    testing::PromptRecorder prompts;
};

TEST(RulesFileRecovery, YesBacksUpThenWritesADefaultFileAndNoWritesNothing) {
    RecoveryFixture f;
    WriteAllBytes(f.path, "}{");
    f.prompts.QueueAnswer(PromptAnswer::No);
    EXPECT_EQ(HandleCorruptRulesFile(f.path, 0, f.log), CorruptRulesChoice::Declined);
    EXPECT_EQ(ReadAllBytes(f.path), "}{");
    EXPECT_FALSE(std::filesystem::exists(f.dir / L"AliceRules.bak"));
    WriteAllBytes(f.dir / L"AliceRules.bak", "older backup");
    f.prompts.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(HandleCorruptRulesFile(f.path, 0, f.log), CorruptRulesChoice::Recreated);
    EXPECT_EQ(ReadAllBytes(f.dir / L"AliceRules.bak"), "}{");
    RulesFile file{.Version = 42};
    ASSERT_EQ(LoadRulesFile(f.path, file), RuleLoadResult::Loaded);
    EXPECT_EQ(file, RulesFile{});
    EXPECT_EQ(f.prompts.Requests().at(0).buttons, PromptButtons::YesNo);
    ASSERT_EQ(f.lines.size(), 3u);  // parse error twice, then the recreated file
    EXPECT_EQ(f.lines[2], std::pair(LogLevel::Info, L"Rules recreated: " + f.path.wstring()));
    // Without a backup the corrupt file is kept.
    WriteAllBytes(f.path, "}{");
    std::filesystem::remove(f.dir / L"AliceRules.bak");
    std::filesystem::create_directory(f.dir / L"AliceRules.bak");  // the copy cannot be made
    EXPECT_FALSE(RecreateCorruptRulesFile(f.path, f.log));
    EXPECT_EQ(ReadAllBytes(f.path), "}{");
    EXPECT_EQ(f.lines.back().first, LogLevel::Error);
}

}  // namespace
}  // namespace wrenpost

// Rules.json: the exact bytes written, the tolerant reader, crash-safe saving and the recovery
// of a corrupt file.
#include <gtest/gtest.h>

#include <filesystem>

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
                                    .Conditions = {{L"Subject", L"Contains", L"invoice", false}},
                                    .Actions = {{kSend, L""}}};

// The reference file, one line per string, each ended with CR LF when written: Latin-1 stays one
// byte per character.
const char* const kOneRuleLines[] = {
    "{",
    "    \"Version\": 1,",
    "    \"Enabled\": true,",
    "    \"Rules\": [",
    "        {",
    "            \"Id\": \"R1\",",
    "            \"Name\": \"Bills \\\"Q1\\\" \\\\/\\t\xE9\xFF\",",
    "            \"Enabled\": true,",
    "            \"Order\": 1,",
    "            \"Version\": 1,",
    "            \"FolderPath\": \"\\\\\\\\Mailbox\\\\Inbox\",",
    "            \"ConditionLogic\": \"All\",",
    "            \"Conditions\": [",
    "                {",
    "                    \"Field\": \"Subject\",",
    "                    \"Operator\": \"Contains\",",
    "                    \"Value\": \"invoice\",",
    "                    \"CaseSensitive\": false",
    "                }",
    "            ],",
    "            \"Actions\": [",
    "                {",
    "                    \"Type\": \"Send Telegram Notification\",",
    "                    \"Value\": \"\"",
    "                }",
    "            ]",
    "        }",
    "    ]",
    "}"};

std::wstring Wrap(const std::wstring& ruleObjects) {
    return L"{\"Version\": 1, \"Enabled\": true, \"Rules\": [" + ruleObjects + L"]}";
}

TEST(RulesFileLayout, EmptyAndOneRuleFilesAreExact) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    ASSERT_TRUE(SaveRulesFile(path, RulesFile{}));
    EXPECT_EQ(ReadAllBytes(path),
              "{\r\n    \"Version\": 1,\r\n    \"Enabled\": false,\r\n"
              "    \"Rules\": []\r\n}\r\n");
    const RulesFile file{.Enabled = true, .Rules = {kInvoiceRule}};
    ASSERT_TRUE(SaveRulesFile(path, file));
    std::string expected;
    for (const char* line : kOneRuleLines) {
        expected += std::string(line) + "\r\n";
    }
    EXPECT_EQ(ReadAllBytes(path), expected);
    RulesFile back;
    ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, file);
}

TEST(RulesFileLayout, ListItemsAreCommaSeparatedAndEmptyListsTakeOneLine) {
    NotificationRule first = kInvoiceRule;
    first.Conditions.push_back({L"Sender", L"Equals", L"Bob", true});
    first.Actions.push_back({kTitle, L"Bills"});
    const RulesFile file{.Version = -3, .Rules = {first, NotificationRule{.Order = -7}}};
    const std::wstring text = FormatRulesFile(file);
    for (const wchar_t* part :
         {L"    \"Version\": -3,\n",
          L"false\n                },\n                {\n                    \"Field\": \"Sender",
          L"\"CaseSensitive\": true\n                }\n            ],\n",
          L"\"Value\": \"\"\n                },\n                {\n                    \"Type",
          L"            ]\n        },\n        {\n            \"Id\": \"\",\n",
          L"            \"Order\": -7,\n",
          L"\"Conditions\": [],\n            \"Actions\": []\n        }\n    ]\n}\n"}) {
        EXPECT_NE(text.find(part), std::wstring::npos) << WideToUtf8(part);
    }
    RulesFile back;
    ASSERT_EQ(ParseRulesFileText(text, back), RuleLoadResult::Loaded);
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
    RulesFile back;
    ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, file);
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
    for (const char* blank : {"", " ", "\r\n\t \r\n"}) {
        WriteAllBytes(dir / L"blank.json", blank);
        EXPECT_EQ(LoadRulesFile(dir / L"blank.json", file), RuleLoadResult::Missing) << blank;
    }
    for (const wchar_t* text :
         {L"{\"Version\": 1, \"Rules\": [",                   // array never closed
          L"{\"Version\": 1, \"Rules\": []}}",                // extra brace at the end
          L"}{\"Version\": 1, \"Rules\": []}",                // closing before opening
          L"{\"Version\": 1, \"Rules\": []]}",                // extra bracket
          L"{\"Version\": 1, \"Rules\": [], \"N\": \"open}",  // ends inside a string
          L"{\"Version\": 1}", L"{\"Rules\": []}", L"{Version: 1, Rules: []}", L"\u00ff",
          L"{\"Version\": 2147483648, \"Rules\": []}",  // out of range
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
    ASSERT_EQ(f.prompts.Requests().size(), 2u);
    EXPECT_EQ(f.prompts.Requests()[0].buttons, PromptButtons::YesNo);
    ASSERT_EQ(f.lines.size(), 3u);  // parse error twice, then the recreated file
    EXPECT_EQ(f.lines[2], std::pair(LogLevel::Info, L"Rules recreated: " + f.path.wstring()));
}

TEST(RulesFileRecovery, WithoutABackupTheCorruptFileIsKept) {
    RecoveryFixture f;
    WriteAllBytes(f.path, "}{");
    std::filesystem::create_directory(f.dir / L"AliceRules.bak");  // the copy cannot be made
    EXPECT_FALSE(RecreateCorruptRulesFile(f.path, f.log));
    EXPECT_EQ(ReadAllBytes(f.path), "}{");
    ASSERT_EQ(f.lines.size(), 1u);
    EXPECT_EQ(f.lines[0].first, LogLevel::Error);
}

}  // namespace
}  // namespace wrenpost

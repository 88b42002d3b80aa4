// Rules.json: the exact bytes written, the tolerant reader, crash-safe saving and the recovery
// of a corrupt file.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/TextFile.h"
#include "rules/RuleEvaluation.h"
#include "rules/RulesFile.h"
#include "support/PromptRecorder.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;
using testing::WriteAllBytes;

// Lines joined with CR LF, each line ended.
std::string CrLfLines(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

const std::string kOneRuleFile = CrLfLines({
    "{",
    "    \"Version\": 1,",
    "    \"Enabled\": true,",
    "    \"Rules\": [",
    "        {",
    "            \"Id\": \"R1\",",
    "            \"Name\": \"Subject contains invoice\",",
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
    "}",
});

NotificationRule InvoiceRule() {
    NotificationRule rule;
    rule.Id = L"R1";
    rule.Name = L"Subject contains invoice";
    rule.Order = 1;
    rule.FolderPath = L"\\\\Mailbox\\Inbox";
    rule.Conditions = {{L"Subject", L"Contains", L"invoice", false}};
    rule.Actions = {{L"Send Telegram Notification", L""}};
    return rule;
}

RulesFile Sentinel() {
    RulesFile file;
    file.Version = 42;
    file.Enabled = true;
    file.Rules = {InvoiceRule()};
    return file;
}

// Parses a text that is expected to load, returning the file.
RulesFile Loaded(const std::wstring& text) {
    RulesFile file;
    EXPECT_EQ(ParseRulesFileText(text, file), RuleLoadResult::Loaded) << text;
    return file;
}

std::wstring Wrap(const std::wstring& ruleObjects) {
    return L"{\"Version\": 1, \"Enabled\": true, \"Rules\": [" + ruleObjects + L"]}";
}

TEST(RulesFileLayout, EmptyRulesTextIsExact) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    ASSERT_TRUE(SaveRulesFile(path, RulesFile{}));
    EXPECT_EQ(ReadAllBytes(path), "{\r\n    \"Version\": 1,\r\n    \"Enabled\": false,\r\n"
                                  "    \"Rules\": []\r\n}\r\n");
}

TEST(RulesFileLayout, OneRuleFileEqualsTheReferenceByteForByte) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    RulesFile file;
    file.Enabled = true;
    file.Rules = {InvoiceRule()};
    ASSERT_TRUE(SaveRulesFile(path, file));
    EXPECT_EQ(ReadAllBytes(path), kOneRuleFile);
    RulesFile back;
    ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, file);
}

TEST(RulesFileLayout, SeveralConditionsActionsAndRulesAreCommaSeparated) {
    RulesFile file;
    file.Version = -3;
    NotificationRule first = InvoiceRule();
    first.Conditions.push_back({L"Sender", L"Equals", L"Bob", true});
    first.Actions.push_back({L"Override Notification Title", L"Bills"});
    NotificationRule second;
    second.Enabled = false;
    second.Order = -7;
    file.Rules = {first, second};
    const std::wstring text = FormatRulesFile(file);
    EXPECT_NE(text.find(L"    \"Version\": -3,\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"                    \"CaseSensitive\": false\n                },\n"
                        L"                {\n                    \"Field\": \"Sender\",\n"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"                    \"CaseSensitive\": true\n                }\n"
                        L"            ],\n"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"                    \"Value\": \"\"\n                },\n"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"            ]\n        },\n        {\n            \"Id\": \"\",\n"),
              std::wstring::npos);
    // The second rule has empty lists, on one line each.
    EXPECT_NE(text.find(L"            \"Order\": -7,\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"            \"Conditions\": [],\n            \"Actions\": []\n        }\n"
                        L"    ]\n}\n"),
              std::wstring::npos);
    EXPECT_EQ(Loaded(text), file);
}

TEST(RulesFileLayout, Latin1StaysOneByteAndAnythingAboveMakesTheFileUtf8WithBom) {
    TempDir dir;
    const auto path = dir / L"r.json";
    const struct {
        std::wstring name;
        std::string bytes;  // the Name line as written
    } cases[] = {
        {L"a\"b\\c\td\ne\rf/\u00e9\u00ff", "\"Name\": \"a\\\"b\\\\c\\td\\ne\\rf/\xE9\xFF\",\r\n"},
        {L"\u0418\u0432\u0430\u043d \u00e9",
         "\"Name\": \"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xC3\xA9\",\r\n"},
    };
    for (const auto& c : cases) {
        RulesFile file;
        file.Rules = {NotificationRule{}};
        file.Rules[0].Name = c.name;
        ASSERT_TRUE(SaveRulesFile(path, file));
        const std::string bytes = ReadAllBytes(path);
        EXPECT_EQ(bytes.substr(0, 3) == "\xEF\xBB\xBF", c.name.find(L'\u0418') == 0);
        EXPECT_NE(bytes.find(c.bytes), std::string::npos) << bytes;
        RulesFile back;
        ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
        EXPECT_EQ(back, file);
    }
}

TEST(RulesFileSaving, CreatesMissingFoldersButFailsOnAnUnwritablePath) {
    TempDir dir;
    const auto path = dir.Path() / L"a" / L"b" / L"xRules.json";
    ASSERT_TRUE(SaveRulesFile(path, Sentinel()));
    RulesFile back;
    ASSERT_EQ(LoadRulesFile(path, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, Sentinel());
    WriteAllBytes(dir / L"file", "x");
    EXPECT_FALSE(SaveRulesFile(dir.Path() / L"file" / L"xRules.json", RulesFile{}));
    EXPECT_FALSE(SaveRulesFile(std::filesystem::path(), RulesFile{}));
}

TEST(RulesFileReading, MissingOrBlankFileIsMissingAndLeavesTheRecordAlone) {
    TempDir dir;
    RulesFile file = Sentinel();
    EXPECT_EQ(LoadRulesFile(dir / L"nothing.json", file), RuleLoadResult::Missing);
    EXPECT_EQ(LoadRulesFile(dir.Path(), file), RuleLoadResult::Missing);  // a folder
    for (const char* blank : {"", " ", "\r\n\t \r\n", "\n\n"}) {
        WriteAllBytes(dir / L"blank.json", blank);
        EXPECT_EQ(LoadRulesFile(dir / L"blank.json", file), RuleLoadResult::Missing) << blank;
    }
    EXPECT_EQ(file, Sentinel());
}

TEST(RulesFileReading, StructureFaultsAreCorruptAndLeaveTheRecordAlone) {
    RulesFile file = Sentinel();
    for (const wchar_t* text : {
             L"{\"Version\": 1, \"Rules\": [",                    // array never closed
             L"{\"Version\": 1, \"Rules\": []}}",                 // extra brace at the end
             L"}{\"Version\": 1, \"Rules\": []}",                 // closing before opening
             L"{\"Version\": 1, \"Rules\": []]}",                 // extra bracket
             L"{\"Version\": 1, \"Rules\": [], \"N\": \"open}",   // ends inside a string
             L"{  }",                                             // neither key
             L"{\"Version\": 1}",                                 // no "Rules"
             L"{\"Rules\": []}",                                  // no "Version"
             L"{Version: 1, Rules: []}",                          // keys must be quoted
             L"\u00ff",
         }) {
        EXPECT_EQ(ParseRulesFileText(text, file), RuleLoadResult::Corrupt) << text;
    }
    EXPECT_EQ(file, Sentinel());
}

TEST(RulesFileReading, BracesInsideStringsDoNotCount) {
    const RulesFile file = Loaded(Wrap(L"{\"Name\": \"{[ \\\" }}]] \\\\\", \"FolderPath\": \"x\"}"));
    ASSERT_EQ(file.Rules.size(), 1u);
    EXPECT_EQ(file.Rules[0].Name, L"{[ \" }}]] \\");
    EXPECT_EQ(file.Rules[0].FolderPath, L"x");
}

TEST(RulesFileReading, OutOfRangeIntegersAreCorrupt) {
    RulesFile file = Sentinel();
    EXPECT_EQ(ParseRulesFileText(L"{\"Version\": 2147483648, \"Rules\": []}", file),
              RuleLoadResult::Corrupt);
    EXPECT_EQ(ParseRulesFileText(Wrap(L"{\"Order\": -2147483649}"), file), RuleLoadResult::Corrupt);
    EXPECT_EQ(ParseRulesFileText(Wrap(L"{}, {\"Version\": 99999999999999999999}"), file),
              RuleLoadResult::Corrupt);
    EXPECT_EQ(file, Sentinel());
    file = Loaded(L"{\"Version\": -2147483648, \"Rules\": [{\"Order\": 2147483647}, "
                  L"{\"Order\": 0000000000000000000042}]}");
    EXPECT_EQ(file.Version, -2147483648LL);
    EXPECT_EQ(file.Rules.at(0).Order, 2147483647);
    EXPECT_EQ(file.Rules.at(1).Order, 42);
}

TEST(RulesFileReading, MissingKeysTakeDefaults) {
    RulesFile file = Loaded(L"{\"Rules\": [{ }], \"Version\" : \"x\"}");
    EXPECT_EQ(file.Version, 1);
    EXPECT_FALSE(file.Enabled);
    ASSERT_EQ(file.Rules.size(), 1u);
    const NotificationRule& rule = file.Rules[0];
    EXPECT_EQ(rule, NotificationRule{});
    file = Loaded(Wrap(L"{\"ConditionLogic\": \"\", \"Enabled\": false}"));
    EXPECT_EQ(file.Rules.at(0).ConditionLogic, L"All");
    EXPECT_FALSE(file.Rules.at(0).Enabled);
}

TEST(RulesFileReading, ValuesOfTheWrongKindAreIgnored) {
    const RulesFile file = Loaded(Wrap(
        L"{\"Order\": \"3\", \"Enabled\": \"false\", \"Version\": 1.5, \"Name\": 7, "
        L"\"Conditions\": [{\"Field\": \"Subject\", \"CaseSensitive\": \"true\"}]}"));
    const NotificationRule& rule = file.Rules.at(0);
    EXPECT_EQ(rule.Order, 0);
    EXPECT_TRUE(rule.Enabled);
    EXPECT_EQ(rule.Version, 1);  // "1" of 1.5 is read, as the pattern does
    EXPECT_EQ(rule.Name, L"");
    ASSERT_EQ(rule.Conditions.size(), 1u);
    EXPECT_FALSE(rule.Conditions[0].CaseSensitive);
}

TEST(RulesFileReading, FirstOccurrenceOfATopLevelKeyWins) {
    const RulesFile file = Loaded(L"{\"Version\": 5, \"Enabled\": true, \"Rules\": "
                                  L"[{\"Version\": 9, \"Enabled\": false}]}");
    EXPECT_EQ(file.Version, 5);
    EXPECT_TRUE(file.Enabled);
    EXPECT_EQ(file.Rules.at(0).Version, 9);
    EXPECT_FALSE(file.Rules.at(0).Enabled);
}

TEST(RulesFileReading, ThingsBetweenRuleObjectsAreIgnored) {
    const RulesFile file =
        Loaded(Wrap(L"1, \"x\", {\"Name\": \"a\"} junk , [ ], {\"Name\": \"b\"}"));
    ASSERT_EQ(file.Rules.size(), 2u);
    EXPECT_EQ(file.Rules[0].Name, L"a");
    EXPECT_EQ(file.Rules[1].Name, L"b");
}

TEST(RulesFileLegacy, OneConditionOneActionWithTitle) {
    const RulesFile file = Loaded(Wrap(
        L"{\"Id\": \"R4\", \"Name\": \"old\", \"FolderPath\": \"\\\\\\\\M\\\\Inbox\", "
        L"\"Field\": \"Subject\", \"Operator\": \"Contains\", \"Value\": \"x\", "
        L"\"Action\": \"Send Telegram Notification\", \"NotificationTitle\": \"T\"}"));
    const NotificationRule& rule = file.Rules.at(0);
    EXPECT_EQ(rule.FolderPath, L"\\\\M\\Inbox");
    EXPECT_EQ(rule.Conditions, (std::vector<RuleCondition>{{L"Subject", L"Contains", L"x", false}}));
    EXPECT_EQ(rule.Actions, (std::vector<RuleAction>{{L"Override Notification Title", L"T"},
                                                     {L"Send Telegram Notification", L""}}));
}

TEST(RulesFileLegacy, OtherActions) {
    EXPECT_EQ(Loaded(Wrap(L"{\"Action\": \"Send Telegram Notification\"}")).Rules.at(0).Actions,
              (std::vector<RuleAction>{{L"Send Telegram Notification", L""}}));
    EXPECT_EQ(Loaded(Wrap(L"{\"Action\": \"Ignore Email\", \"NotificationTitle\": \"T\"}"))
                  .Rules.at(0).Actions,
              (std::vector<RuleAction>{{L"Ignore Email", L""}}));
    EXPECT_EQ(Loaded(Wrap(L"{\"Action\": \"Forward\"}")).Rules.at(0).Actions,
              (std::vector<RuleAction>{{L"Forward", L""}}));
    EXPECT_TRUE(Loaded(Wrap(L"{\"Action\": \"\", \"NotificationTitle\": \"T\"}"))
                    .Rules.at(0).Actions.empty());
    // A lone operator still makes a condition; three empty texts do not.
    EXPECT_EQ(Loaded(Wrap(L"{\"Operator\": \"Equals\"}")).Rules.at(0).Conditions.size(), 1u);
    EXPECT_TRUE(Loaded(Wrap(L"{\"Field\": \"\", \"Value\": \"\"}")).Rules.at(0).Conditions.empty());
}

TEST(RulesFileLegacy, KeysInsideTheActionsArrayDoNotFormACondition) {
    const RulesFile file = Loaded(Wrap(
        L"{\"Conditions\": [], \"Actions\": [{\"Type\": \"Override Notification Title\", "
        L"\"Value\": \"Boss\"}]}"));
    const NotificationRule& rule = file.Rules.at(0);
    EXPECT_TRUE(rule.Conditions.empty());
    EXPECT_EQ(rule.Actions, (std::vector<RuleAction>{{L"Override Notification Title", L"Boss"}}));
}

TEST(RulesFileLegacy, NewLayoutWinsOverOldKeys) {
    const RulesFile file = Loaded(Wrap(
        L"{\"Field\": \"Sender\", \"Value\": \"old\", \"Action\": \"Ignore Email\", "
        L"\"Conditions\": [{\"Field\": \"Subject\", \"Operator\": \"Equals\", \"Value\": \"new\", "
        L"\"CaseSensitive\": true}], \"Actions\": [{\"Type\": \"Send Telegram Notification\"}]}"));
    const NotificationRule& rule = file.Rules.at(0);
    EXPECT_EQ(rule.Conditions, (std::vector<RuleCondition>{{L"Subject", L"Equals", L"new", true}}));
    EXPECT_EQ(rule.Actions, (std::vector<RuleAction>{{L"Send Telegram Notification", L""}}));
}

TEST(RulesFileRecovery, BacksUpThenWritesADefaultFile) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    WriteAllBytes(path, "{\"Version\": 1, \"Rules\": [");
    WriteAllBytes(dir / L"AliceRules.bak", "older backup");
    std::vector<std::pair<LogLevel, std::wstring>> lines;
    const LogFunction log = [&](LogLevel level, const std::wstring& text) {
        lines.emplace_back(level, text);
    };
    testing::PromptRecorder prompts;
    prompts.QueueAnswer(PromptAnswer::Yes);
    EXPECT_EQ(HandleCorruptRulesFile(path, 0, log), CorruptRulesChoice::Recreated);
    EXPECT_EQ(ReadAllBytes(dir / L"AliceRules.bak"), "{\"Version\": 1, \"Rules\": [");
    RulesFile file = Sentinel();
    ASSERT_EQ(LoadRulesFile(path, file), RuleLoadResult::Loaded);
    EXPECT_EQ(file, RulesFile{});
    const auto requests = prompts.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].caption, L"Notification Rules");
    EXPECT_EQ(requests[0].text, L"The rules file is corrupted.\n\nDo you want to recreate it?");
    EXPECT_EQ(requests[0].icon, PromptIcon::Question);
    EXPECT_EQ(requests[0].buttons, PromptButtons::YesNo);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::make_pair(LogLevel::Error, L"Rules parse error: " + path.wstring()));
    EXPECT_EQ(lines[1], std::make_pair(LogLevel::Info, L"Rules recreated: " + path.wstring()));
}

TEST(RulesFileRecovery, DecliningWritesNothing) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    WriteAllBytes(path, "}{");
    testing::PromptRecorder prompts;
    prompts.QueueAnswer(PromptAnswer::No);
    int logged = 0;
    EXPECT_EQ(HandleCorruptRulesFile(path, 0, [&](LogLevel, const std::wstring&) { ++logged; }),
              CorruptRulesChoice::Declined);
    EXPECT_EQ(logged, 1);
    EXPECT_EQ(ReadAllBytes(path), "}{");
    EXPECT_FALSE(std::filesystem::exists(dir / L"AliceRules.bak"));
}

TEST(RulesFileRecovery, WithoutABackupTheCorruptFileIsKept) {
    TempDir dir;
    const auto path = dir / L"AliceRules.json";
    WriteAllBytes(path, "}{");
    std::filesystem::create_directory(dir / L"AliceRules.bak");  // the copy cannot be made
    std::vector<std::wstring> lines;
    EXPECT_FALSE(RecreateCorruptRulesFile(
        path, [&](LogLevel level, const std::wstring& text) {
            EXPECT_EQ(level, LogLevel::Error);
            lines.push_back(text);
        }));
    EXPECT_EQ(ReadAllBytes(path), "}{");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"Failed to back up the rules file: " + path.wstring());
}

}  // namespace
}  // namespace wrenpost

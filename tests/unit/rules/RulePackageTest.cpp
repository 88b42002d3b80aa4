// Rule packages: the file layout, the reader, export building and the three import modes.
#include <gtest/gtest.h>

#include "common/LocalTime.h"
#include "rules/RulePackage.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;
using testing::WriteAllBytes;

NotificationRule MakeRule(std::wstring id, std::wstring name, std::int32_t order = 0) {
    NotificationRule rule;
    rule.Id = std::move(id);
    rule.Name = std::move(name);
    rule.Order = order;
    rule.FolderPath = L"\\\\Mailbox\\Inbox";
    rule.Conditions = {{L"Subject", L"Contains", L"Invoice", true}};
    rule.Actions = {{L"Send Telegram Notification", L""}};
    return rule;
}

RulePackage PackageOf(std::vector<NotificationRule> rules) {
    RulePackage package = BuildAllRulesPackage(rules, L"2026-12-06");
    return package;
}

std::vector<std::wstring> Ids(const std::vector<NotificationRule>& rules) {
    std::vector<std::wstring> ids;
    for (const NotificationRule& rule : rules) {
        ids.push_back(rule.Id);
    }
    return ids;
}

TEST(RulePackageLayout, EmptyPackageText) {
    TempDir dir;
    const auto path = dir.Path() / L"new" / L"MyRules.wprules";
    RulePackage package = BuildAllRulesPackage({}, L"2026-12-06");
    ASSERT_TRUE(WriteRulePackage(path, package));
    EXPECT_EQ(ReadAllBytes(path),
              "{\r\n    \"PackageVersion\": 1,\r\n    \"Name\": \"MyRules\",\r\n"
              "    \"Author\": \"Wrenpost\",\r\n    \"Description\": \"Exported rules\",\r\n"
              "    \"CreatedDate\": \"2026-12-06\",\r\n    \"Rules\": []\r\n}\r\n");
}

TEST(RulePackageLayout, RuleBlocksHaveNoFolderAndNoCaseFlag) {
    RulePackage package = BuildSingleRulePackage(MakeRule(L"R1", L"Bills \"Q1\"", 1), L"2026-01-02");
    package.Rules[0].Actions.push_back({L"Override Notification Title", L"Bills"});
    const std::wstring text = FormatRulePackage(package);
    EXPECT_EQ(text,
              L"{\n"
              L"    \"PackageVersion\": 1,\n"
              L"    \"Name\": \"Bills \\\"Q1\\\"\",\n"
              L"    \"Author\": \"Wrenpost\",\n"
              L"    \"Description\": \"Exported rule: Bills \\\"Q1\\\"\",\n"
              L"    \"CreatedDate\": \"2026-01-02\",\n"
              L"    \"Rules\": [\n"
              L"        {\n"
              L"            \"Id\": \"R1\",\n"
              L"            \"Name\": \"Bills \\\"Q1\\\"\",\n"
              L"            \"Enabled\": true,\n"
              L"            \"Order\": 1,\n"
              L"            \"Version\": 1,\n"
              L"            \"ConditionLogic\": \"All\",\n"
              L"            \"Conditions\": [\n"
              L"                {\n"
              L"                    \"Field\": \"Subject\",\n"
              L"                    \"Operator\": \"Contains\",\n"
              L"                    \"Value\": \"Invoice\"\n"
              L"                }\n"
              L"            ],\n"
              L"            \"Actions\": [\n"
              L"                {\n"
              L"                    \"Type\": \"Send Telegram Notification\",\n"
              L"                    \"Value\": \"\"\n"
              L"                },\n"
              L"                {\n"
              L"                    \"Type\": \"Override Notification Title\",\n"
              L"                    \"Value\": \"Bills\"\n"
              L"                }\n"
              L"            ]\n"
              L"        }\n"
              L"    ]\n"
              L"}\n");
}

TEST(RulePackageReading, FolderAndCaseFlagInTheTextAreIgnored) {
    RulePackage package;
    ASSERT_EQ(ParseRulePackageText(
                  L"{\"PackageVersion\": 7, \"Rules\": [{\"FolderPath\": \"x\", \"Conditions\": "
                  L"[{\"Field\": \"Subject\", \"CaseSensitive\": true}]}]}",
                  package),
              RuleLoadResult::Loaded);
    EXPECT_EQ(package.PackageVersion, 7);
    ASSERT_EQ(package.Rules.size(), 1u);
    EXPECT_EQ(package.Rules[0].FolderPath, L"");
    EXPECT_FALSE(package.Rules[0].Conditions.at(0).CaseSensitive);
}

TEST(RulePackageReading, OlderOneConditionLayoutIsNotRead) {
    RulePackage package;
    ASSERT_EQ(ParseRulePackageText(
                  L"{\"PackageVersion\": 1, \"Rules\": [{\"Field\": \"Subject\", \"Operator\": "
                  L"\"Contains\", \"Value\": \"x\", \"Action\": \"Ignore Email\"}]}",
                  package),
              RuleLoadResult::Loaded);
    ASSERT_EQ(package.Rules.size(), 1u);
    EXPECT_TRUE(package.Rules[0].Conditions.empty());
    EXPECT_TRUE(package.Rules[0].Actions.empty());
}

TEST(RulePackageReading, RefusedTexts) {
    RulePackage package = PackageOf({MakeRule(L"R1", L"keep")});
    const RulePackage before = package;
    for (const wchar_t* text : {
             L"{}", L"{ }", L"{\"Rules\": []}",                 // no "PackageVersion"
             L"{\"PackageVersion\": 1}",                         // no "Rules"
             L"{\"PackageVersion\": 1, \"Rules\": [}",          // unbalanced
             L"{\"PackageVersion\": 1, \"Rules\": []}}",
             L"{\"PackageVersion\": 3000000000, \"Rules\": []}",  // out of range
             L"{\"PackageVersion\": 1, \"Rules\": [{\"Order\": 3000000000}]}",
         }) {
        EXPECT_EQ(ParseRulePackageText(text, package), RuleLoadResult::Corrupt) << text;
    }
    EXPECT_EQ(ParseRulePackageText(L" \r\n\t", package), RuleLoadResult::Missing);
    TempDir dir;
    EXPECT_EQ(ReadRulePackage(dir / L"absent.wprule", package), RuleLoadResult::Missing);
    EXPECT_EQ(package, before);
}

TEST(RulePackageReading, DefaultsAndWrongKinds) {
    RulePackage package;
    ASSERT_EQ(ParseRulePackageText(L"{\"PackageVersion\": \"2\", \"Rules\": [{\"Order\": \"3\"}]}",
                                   package),
              RuleLoadResult::Loaded);
    EXPECT_EQ(package.PackageVersion, 1);
    EXPECT_EQ(package.Name, L"");
    EXPECT_EQ(package.Rules.at(0).Order, 0);
}

TEST(RulePackageExport, AllRulesAndSelectedRule) {
    const std::vector<NotificationRule> rules = {MakeRule(L"R1", L"a"), MakeRule(L"R2", L"A/B:C")};
    const RulePackage all = BuildAllRulesPackage(rules, L"2026-12-06");
    EXPECT_EQ(all.Rules, rules);
    EXPECT_EQ(ProposedPackageFileName(all.Name), L"MyRules");
    const RulePackage one = BuildSingleRulePackage(rules[1], L"2026-12-06");
    EXPECT_EQ(one.Name, L"A/B:C");
    EXPECT_EQ(one.Description, L"Exported rule: A/B:C");
    EXPECT_EQ(one.Rules, std::vector<NotificationRule>{rules[1]});
    EXPECT_EQ(ProposedPackageFileName(one.Name), L"A_B_C");
}

TEST(RulePackageExport, ProposedFileNameReplacesReservedCharactersAndIsCut) {
    EXPECT_EQ(ProposedPackageFileName(L"\\/:*?\"<>|x\u00e9."), L"_________x\u00e9.");
    EXPECT_EQ(ProposedPackageFileName(std::wstring(300, L'a')), std::wstring(259, L'a'));
    EXPECT_EQ(ProposedPackageFileName(std::wstring(259, L'b')), std::wstring(259, L'b'));
    // A character outside the BMP is never cut in half.
    std::wstring emoji = L"\U0001F600";
    std::wstring name = std::wstring(258, L'c') + emoji;
    EXPECT_EQ(ProposedPackageFileName(name), std::wstring(258, L'c'));
    name = std::wstring(257, L'c') + emoji + L"d";
    EXPECT_EQ(ProposedPackageFileName(name), std::wstring(257, L'c') + emoji);
}

TEST(RulePackageExport, CreatedDateIsTodayLocal) {
    testing::FakeClock clock;
    for (int day = 0; day < 3; ++day) {
        const std::wstring date = PackageDate(clock);
        EXPECT_EQ(date, FormatLocalTimestamp(ToUnixSeconds(clock.Now())).substr(0, 10));
        clock.Advance(std::chrono::hours(24 * 40 + 5));
    }
}

TEST(RulePackageImport, IdsContinueAfterTheLargestInModesNewAndMerge) {
    for (const ImportMode mode : {ImportMode::NewRules, ImportMode::Merge}) {
        std::vector<NotificationRule> rules = {MakeRule(L"R5", L"existing", 1)};
        ImportPackageRules(rules, PackageOf({MakeRule(L"R1", L"x"), MakeRule(L"R2", L"y")}), mode);
        EXPECT_EQ(Ids(rules), (std::vector<std::wstring>{L"R5", L"R6", L"R7"}));
        // Imported rules have no folder and ignore case.
        EXPECT_EQ(rules[2].FolderPath, L"");
        EXPECT_FALSE(rules[2].Conditions.at(0).CaseSensitive);
    }
}

TEST(RulePackageImport, ReplaceDiscardsCurrentRulesAndTheirIds) {
    std::vector<NotificationRule> rules = {MakeRule(L"R5", L"existing", 1)};
    ImportPackageRules(rules, PackageOf({MakeRule(L"R1", L"x"), MakeRule(L"R2", L"y")}),
                       ImportMode::Replace);
    EXPECT_EQ(Ids(rules), (std::vector<std::wstring>{L"R3", L"R4"}));
    EXPECT_EQ(rules[0].Name, L"x");
}

TEST(RulePackageImport, MergeReplacesInPlaceKeepingIdAndOrder) {
    std::vector<NotificationRule> rules = {MakeRule(L"R1", L"First", 1),
                                           MakeRule(L"R2", L"Invoices", 2),
                                           MakeRule(L"R3", L"Last", 3)};
    NotificationRule incoming = MakeRule(L"R9", L"Invoices", 7);
    incoming.Actions = {{L"Ignore Email", L""}};
    ImportPackageRules(rules, PackageOf({incoming}), ImportMode::Merge);
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[1].Id, L"R2");
    EXPECT_EQ(rules[1].Order, 2);
    EXPECT_EQ(rules[1].Actions, incoming.Actions);
    EXPECT_EQ(rules[0].Id, L"R1");
    EXPECT_EQ(rules[2].Id, L"R3");
}

TEST(RulePackageImport, MergeMatchesNamesCaseSensitively) {
    std::vector<NotificationRule> rules = {MakeRule(L"R1", L"Invoices", 1)};
    ImportPackageRules(rules, PackageOf({MakeRule(L"R1", L"invoices")}), ImportMode::Merge);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].Name, L"Invoices");
    EXPECT_EQ(rules[1].Name, L"invoices");
    EXPECT_EQ(rules[1].Id, L"R2");
}

TEST(RulePackageImport, LaterPackageRuleWithTheSameNameReplacesTheSameRuleAgain) {
    std::vector<NotificationRule> rules = {MakeRule(L"R1", L"A", 1), MakeRule(L"R2", L"Dup", 2)};
    NotificationRule first = MakeRule(L"", L"Dup");
    first.Conditions[0].Value = L"one";
    NotificationRule second = MakeRule(L"", L"Dup");
    second.Conditions[0].Value = L"two";
    ImportPackageRules(rules, PackageOf({first, second}), ImportMode::Merge);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[1].Id, L"R2");
    EXPECT_EQ(rules[1].Conditions.at(0).Value, L"two");
}

TEST(RulePackageImport, NewRulesAppendsEvenWithSameNames) {
    std::vector<NotificationRule> rules = {MakeRule(L"R1", L"Invoices", 1)};
    ImportPackageRules(rules, PackageOf({MakeRule(L"Q", L"Invoices")}), ImportMode::NewRules);
    EXPECT_EQ(Ids(rules), (std::vector<std::wstring>{L"R1", L"R2"}));
    RenumberRuleOrder(rules);
    EXPECT_EQ(rules[0].Order, 1);
    EXPECT_EQ(rules[1].Order, 2);
}

TEST(RuleIds, WhichIdsCount) {
    EXPECT_EQ(RuleIdNumber(L"R12"), 12);
    EXPECT_EQ(RuleIdNumber(L"R7abc"), 7);
    EXPECT_EQ(RuleIdNumber(L"R007"), 7);
    EXPECT_EQ(RuleIdNumber(L"R"), -1);
    EXPECT_EQ(RuleIdNumber(L"r5"), -1);
    EXPECT_EQ(RuleIdNumber(L"Rx5"), -1);
    EXPECT_EQ(RuleIdNumber(L"R-5"), -1);
    EXPECT_EQ(RuleIdNumber(L"X5"), -1);
    EXPECT_EQ(RuleIdNumber(L"R99999999999999999999999"), -1);
    EXPECT_EQ(RuleIdNumber(L"R1000000000000000000"), 1000000000000000000LL);
    EXPECT_EQ(RuleIdNumber(L"R1000000000000000001"), -1);
    EXPECT_EQ(NextRuleId({}), L"R1");
    EXPECT_EQ(NextRuleId({MakeRule(L"R3x", L""), MakeRule(L"Q9", L""), MakeRule(L"R2", L"")}), L"R4");
    // A huge number does not count, so the next Id cannot overflow.
    EXPECT_EQ(NextRuleId({MakeRule(L"R99999999999999999999999", L""), MakeRule(L"R1", L"")}), L"R2");
}

TEST(RulePackageDialogTexts, DescriptionAndLog) {
    RulePackage package = PackageOf({MakeRule(L"R1", L"a")});
    package.Description = L"two\nlines";
    EXPECT_EQ(DescribeRulePackage(package),
              L"Name: MyRules\r\nAuthor: Wrenpost\r\nCreated: 2026-12-06\r\nRules in package: 1\r\n"
              L"\r\nDescription:\r\ntwo\r\nlines\r\n");
    EXPECT_EQ(DescribeRulePackage(RulePackage{}),
              L"Name: (untitled)\r\nAuthor: (unknown)\r\nCreated: (unknown)\r\n"
              L"Rules in package: 0\r\n\r\nDescription:\r\n(none)\r\n");
    EXPECT_EQ(RulesImportedLogText(package), L"Rules imported: 1 rule(s) from package \"MyRules\".");
}

}  // namespace
}  // namespace wrenpost

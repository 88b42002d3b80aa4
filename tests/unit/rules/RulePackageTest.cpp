// Rule packages: the file layout, the reader, export building and the three import modes.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "rules/RulePackage.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

NotificationRule MakeRule(std::wstring id, std::wstring name, std::int32_t order = 0) {
    return {.Id = std::move(id),
            .Name = std::move(name),
            .Order = order,
            .FolderPath = L"\\\\Mailbox\\Inbox",
            .Conditions = {{L"Subject", L"Contains", L"Invoice", true}},
            .Actions = {{L"Send Telegram Notification", L""}}};
}

RulePackage PackageOf(std::vector<NotificationRule> rules) {
    return BuildAllRulesPackage(rules, L"2026-12-06");
}

std::wstring Ids(const std::vector<NotificationRule>& rules) {
    std::wstring ids;
    for (const NotificationRule& rule : rules) ids += rule.Id + L" ";
    return ids;
}

TEST(RulePackageFile, LayoutAndReading) {
    TempDir dir;
    ASSERT_TRUE(WriteRulePackage(dir / L"a.wprules", BuildAllRulesPackage({}, L"2026-12-06")));
    EXPECT_EQ(ReadAllBytes(dir / L"a.wprules"),
              "{\r\n    \"PackageVersion\": 1,\r\n    \"Name\": \"MyRules\",\r\n"
              "    \"Author\": \"Wrenpost\",\r\n    \"Description\": \"Exported rules\",\r\n"
              "    \"CreatedDate\": \"2026-12-06\",\r\n    \"Rules\": []\r\n}\r\n");
    // Rule blocks are those of the rules file without FolderPath and CaseSensitive, and neither
    // is read back from a package; nor is the older one-condition layout.
    const RulePackage package = BuildSingleRulePackage(MakeRule(L"R1", L"A/B", 1), L"2026-01-02");
    EXPECT_EQ(package.Name, L"A/B");
    const std::wstring text = FormatRulePackage(package);
    EXPECT_EQ(text.find(L"FolderPath"), std::wstring::npos);
    EXPECT_EQ(text.find(L"CaseSensitive"), std::wstring::npos);
    RulePackage back, expected = package;
    expected.Rules[0].FolderPath.clear();
    expected.Rules[0].Conditions[0].CaseSensitive = false;
    ASSERT_EQ(ParseRulePackageText(text, back), RuleLoadResult::Loaded);
    EXPECT_EQ(back, expected);
    ASSERT_EQ(ParseRulePackageText(
                  L"{\"PackageVersion\": 7, \"Rules\": [{\"FolderPath\": \"x\", \"Conditions\": "
                  L"[{\"Field\": \"S\", \"CaseSensitive\": true}]}, {\"Field\": \"Subject\", "
                  L"\"Operator\": \"Contains\", \"Value\": \"x\", \"Action\": \"Ignore Email\"}]}",
                  back),
              RuleLoadResult::Loaded);
    EXPECT_EQ(back, (RulePackage{.PackageVersion = 7,
                                 .Rules = {{.Conditions = {{L"S", L"", L"", false}}}, {}}}));
    // The structure checks are those of the rules file; these are the package's own keys.
    for (const wchar_t* text : {L"{\"Rules\": []}", L"{\"PackageVersion\": 1}",
                                L"{\"PackageVersion\": 3000000000, \"Rules\": []}"}) {
        EXPECT_EQ(ParseRulePackageText(text, back), RuleLoadResult::Corrupt) << WideToUtf8(text);
    }
    EXPECT_EQ(ParseRulePackageText(L" \r\n\t", back), RuleLoadResult::Missing);
    EXPECT_EQ(ReadRulePackage(dir / L"absent.wprule", back), RuleLoadResult::Missing);
    EXPECT_EQ(ReadRulePackage(dir.Path(), back), RuleLoadResult::Unreadable);  // a folder
    EXPECT_EQ(back.PackageVersion, 7);
}

TEST(RulePackageExport, ProposedFileNames) {
    // Reserved characters become '_'; the name is cut to 259 code units, never inside a pair.
    const std::wstring emoji = L"\U0001F600";
    const std::pair<std::wstring, std::wstring> names[] = {
        {L"\\/:*?\"<>|x\u00e9.", L"_________x\u00e9."},
        {std::wstring(300, L'a'), std::wstring(259, L'a')},
        {std::wstring(259, L'b'), std::wstring(259, L'b')},
        {std::wstring(258, L'c') + emoji, std::wstring(258, L'c')},
        {std::wstring(257, L'c') + emoji + L"d", std::wstring(257, L'c') + emoji}};
    for (const auto& [name, proposed] : names) {
        EXPECT_EQ(ProposedPackageFileName(name), proposed) << WideToUtf8(name);
    }
}

// Imported rules get fresh Ids after the largest of both lists, no folder and ignore case. Merge
// replaces the first rule of the same exact name in place, keeping its Id, Order and folder; a
// later package rule of that name replaces it again. The count is of rules left without folder.
TEST(RulePackageImport, ModesAndIds) {
    const RulePackage xy = PackageOf({MakeRule(L"R1", L"x"), MakeRule(L"R2", L"y")});
    for (const ImportMode mode : {ImportMode::NewRules, ImportMode::Replace}) {
        std::vector<NotificationRule> rules = {MakeRule(L"R5", L"x", 1)};
        EXPECT_EQ(ImportPackageRules(rules, xy, mode), 2u);
        EXPECT_EQ(Ids(rules), mode == ImportMode::Replace ? L"R3 R4 " : L"R5 R6 R7 ");
        EXPECT_EQ(rules.back().FolderPath, L"");
        EXPECT_FALSE(rules.back().Conditions.at(0).CaseSensitive);
    }
    std::vector<NotificationRule> rules = {MakeRule(L"R1", L"First", 1), MakeRule(L"R2", L"Dup", 2),
                                           MakeRule(L"R3", L"Dup", 3)};
    NotificationRule one = MakeRule(L"R9", L"Dup", 7), two = one;
    one.Conditions[0].Value = L"one";
    two.Conditions[0].Value = L"two";
    rules[0].FolderPath.clear();
    rules[1].FolderPath = L"\\\\Box\\In";
    const RulePackage merged =
        PackageOf({one, two, MakeRule(L"", L"dup"), MakeRule(L"", L"First")});
    EXPECT_EQ(ImportPackageRules(rules, merged, ImportMode::Merge), 2u);  // "dup" and "First"
    EXPECT_EQ(Ids(rules), L"R1 R2 R3 R12 ");
    EXPECT_EQ(rules[1].FolderPath, L"\\\\Box\\In");
    EXPECT_EQ(std::pair(rules[1].Order, rules[1].Conditions.at(0)),
              std::pair(2, RuleCondition{L"Subject", L"Contains", L"two", false}));
    EXPECT_EQ(rules[2].Conditions.at(0).Value, L"Invoice");
    RenumberRuleOrder(rules);
    EXPECT_EQ(rules[3].Order, 4);
}

// Only "R" and leading digits count; a number beyond 10^18 does not, so the next Id cannot
// overflow.
TEST(RuleIds, WhichIdsCountAndTheNextId) {
    const std::pair<const wchar_t*, std::int64_t> ids[] = {
        // clang-format off
        {L"R7abc", 7}, {L"R007", 7}, {L"R", -1}, {L"r5", -1}, {L"R-5", -1},
        {L"R1000000000000000000", 1000000000000000000LL}, {L"R1000000000000000001", -1},
        // clang-format on
    };
    for (const auto& [id, number] : ids) {
        EXPECT_EQ(RuleIdNumber(id), number) << WideToUtf8(id);
    }
    EXPECT_EQ(NextRuleId({}), L"R1");
    EXPECT_EQ(NextRuleId({MakeRule(L"R3x", L""), MakeRule(L"R99999999999999999999999", L""),
                          MakeRule(L"Q9", L""), MakeRule(L"R2", L"")}),
              L"R4");
}

}  // namespace
}  // namespace wrenpost

// Profile names Windows cannot use as a folder or file name are refused with the rule they break.
#include <gtest/gtest.h>

#include <vector>

#include "profile/ProfileName.h"

namespace wrenpost {
namespace {

TEST(ProfileNameRules, EachBrokenRuleIsNamed) {
    const std::pair<const wchar_t*, std::vector<const wchar_t*>> rows[] = {
        {L"", {L"Sales Desk", L"", L"Bob", L"CONSOLE", L"COM0", L"LPTX", L"Caf\u00e9.v2"}},
        {L"is a device name",
         {L"con", L"PRN", L"aux.json", L"Nul .x", L"com9", L"LPT1.old.txt", L"COM\u00b9"}},
        {L"these characters", {L"a/b", L"a\\b", L"a\"b", L"a|b", L"a:b", L"a*b"}},
        {L"control characters", {L"tab\there", L"del\x7f"}},
        {L"end with a dot or a space", {L"Sales.", L"Sales "}}};
    for (const auto& [rule, names] : rows) {
        for (const wchar_t* name : names) {
            const std::wstring problem = ProfileNameProblem(name);
            EXPECT_TRUE(*rule ? problem.find(rule) != std::wstring::npos : problem.empty())
                << name << ": " << problem;
        }
    }
}

// At LOAD the files' prefix is the name; the name inside the file is checked as SAVE checks one.
TEST(ProfileNameRules, ALoadedProfileGoesByItsPrefixAndAnUnusableNameInTheFileIsRefused) {
    const struct {
        const wchar_t *inFile, *prefix;
        bool refused, warned;
    } rows[] = {
        {L"Desk", L"Desk", false, false},     {L"", L"Desk", false, false},
        {L"Other", L"Desk", false, true},     {L"desk", L"Desk", false, true},
        {L"..\\..\\x", L"Desk", true, false}, {L"Desk", L"Desk.", true, false},
    };
    for (const auto& row : rows) {
        const LoadedProfileName loaded = ProfileNameAtLoad(row.inFile, row.prefix);
        EXPECT_EQ(loaded.name, row.prefix);
        EXPECT_EQ(!loaded.problem.empty(), row.refused) << row.inFile;
        EXPECT_EQ(!loaded.warning.empty(), row.warned) << row.inFile;
        if (row.warned) {
            EXPECT_NE(loaded.warning.find(row.inFile), std::wstring::npos);
            EXPECT_NE(loaded.warning.find(row.prefix), std::wstring::npos);
        }
    }
}

}  // namespace
}  // namespace wrenpost

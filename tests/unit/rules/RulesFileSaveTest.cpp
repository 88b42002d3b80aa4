// Saving over a rules file: what is there decides whether it is replaced, and a corrupt one is
// kept as a dated backup first.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::DatedBackups;
using testing::ReadAllBytes;
using testing::TempDir;
using testing::WriteAllBytes;

constexpr std::time_t kNow = 1741352709;  // the stamp below in most zones' day; compared by form

RulesFile OneRule() {
    RulesFile rules;
    rules.Enabled = true;
    rules.Rules.push_back({.Name = L"Spam"});
    return rules;
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

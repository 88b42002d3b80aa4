// Files written by earlier versions load and save back byte for byte through the functions the
// program uses, so a save never rewrites what a user (or an older copy) wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "rules/RulePackage.h"
#include "rules/RulesFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;
using Resave = std::function<bool(const std::filesystem::path& from,
                                  const std::filesystem::path& to)>;

std::filesystem::path SamplePath(const std::wstring& name) {
#ifdef _WIN32
    const std::wstring root = L"Z:" + Utf8ToWide(WRENPOST_SOURCE_DIR);
#else
    const std::wstring root = Utf8ToWide(WRENPOST_SOURCE_DIR);
#endif
    return std::filesystem::path(root) / L"tests" / L"samples" / name;
}

bool ResaveProfile(const std::filesystem::path& from, const std::filesystem::path& to) {
    ProfileConfigStore store;
    return store.ReadProfileConfig(from) && SaveProfileConfig(to, store.Current());
}

bool ResaveRules(const std::filesystem::path& from, const std::filesystem::path& to) {
    RulesFile rules;
    return LoadRulesFile(from, rules) == RuleLoadResult::Loaded && SaveRulesFile(to, rules);
}

bool ResavePackage(const std::filesystem::path& from, const std::filesystem::path& to) {
    RulePackage package;
    return ReadRulePackage(from, package) == RuleLoadResult::Loaded &&
           WriteRulePackage(to, package);
}

struct SavedSample {
    const wchar_t* File;
    Resave Through;
    const wchar_t* SavedAs;  // what the program writes for it; null: the file itself
};

TEST(SavedSamples, LoadAndSaveBackByteForByte) {
    const SavedSample samples[] = {
        {L"OfficeConfig.json", ResaveProfile, nullptr},
        {L"OfficeRules.json", ResaveRules, nullptr},
        // The one-condition layout is read, and saved in today's layout.
        {L"LegacyRules.json", ResaveRules, L"LegacyRules.saved.json"},
        {L"LegacyRules.saved.json", ResaveRules, nullptr},
        {L"Boss.wprule", ResavePackage, nullptr},
        {L"MyRules.wprules", ResavePackage, nullptr},
    };
    const TempDir dir;
    for (const SavedSample& sample : samples) {
        SCOPED_TRACE(WideToUtf8(sample.File));
        const std::filesystem::path saved = dir / (std::wstring(L"saved-") + sample.File);
        ASSERT_TRUE(sample.Through(SamplePath(sample.File), saved));
        EXPECT_EQ(ReadAllBytes(saved),
                  ReadAllBytes(SamplePath(sample.SavedAs ? sample.SavedAs : sample.File)));
    }
}

}  // namespace
}  // namespace wrenpost

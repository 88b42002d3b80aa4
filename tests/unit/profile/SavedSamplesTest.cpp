// Files written by earlier versions load and save back byte for byte through the functions the
// program uses, so a save never rewrites what a user (or an older copy) wrote.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "rules/RulePackage.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

std::filesystem::path Sample(const std::wstring& name) {
    const bool wine = sizeof(wchar_t) == 2;  // the source tree is drive Z: under wine
    return std::filesystem::path((wine ? L"Z:" : L"") + Utf8ToWide(WRENPOST_SOURCE_DIR)) /
           L"tests" / L"samples" / name;
}

TEST(SavedSamples, LoadAndSaveBackByteForByte) {
    using Path = const std::filesystem::path&;
    const auto profile = [](Path from, Path to) {
        ProfileConfigStore store;
        return store.ReadProfileConfig(from) && SaveProfileConfig(to, store.Current());
    };
    const auto rules = [](Path from, Path to) {
        RulesFile file;
        return LoadRulesFile(from, file) == RuleLoadResult::Loaded && SaveRulesFile(to, file);
    };
    const auto package = [](Path from, Path to) {
        RulePackage read;
        return ReadRulePackage(from, read) == RuleLoadResult::Loaded && WriteRulePackage(to, read);
    };
    // The one-condition layout is read, and saved in today's layout.
    const struct {
        const wchar_t *File, *SavedAs;
        bool (*Resave)(Path, Path);
    } samples[] = {{L"OfficeConfig.json", nullptr, profile},
                   {L"OfficeRules.json", nullptr, rules},
                   {L"LegacyRules.json", L"LegacyRules.saved.json", rules},
                   {L"LegacyRules.saved.json", nullptr, rules},
                   {L"Boss.wprule", nullptr, package},
                   {L"MyRules.wprules", nullptr, package}};
    const testing::TempDir dir;
    for (const auto& sample : samples) {
        SCOPED_TRACE(WideToUtf8(sample.File));
        ASSERT_TRUE(sample.Resave(Sample(sample.File), dir / sample.File));
        EXPECT_EQ(testing::ReadAllBytes(dir / sample.File),
                  testing::ReadAllBytes(Sample(sample.SavedAs ? sample.SavedAs : sample.File)));
    }
}

}  // namespace
}  // namespace wrenpost

// SAVE and LOAD against profile files that others write or damage: the monitor's notification
// times, a rules file that cannot be read, a name in Config.json that would build other paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "common/TextFile.h"
#include "profile/ProfileConfig.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "win/ui/ProfileAndMonitorFixture.h"

namespace wrenpost {
namespace {

class ProfileFilesTest : public ProfileAndMonitorTest {
public:
    void SetUp() override {
        ProfileAndMonitorTest::SetUp();
        OpenWindow();
    }
    // A profile folder as SAVE leaves it, under the name `name` in the file.
    fs::path Write(const std::wstring& prefix, const std::wstring& name, std::size_t rules = 0) {
        ProfileConfig config = DeskProfile(L"Never");
        config.ProfileName = name;
        WriteProfile(profiles_ / prefix, prefix, config, rules);
        return profiles_ / prefix;
    }
    void Save(const fs::path& folder) {
        nextPick_ = folder;
        Click(kIdSave);
    }
    PromptRequest LastPrompt() const { return prompts_.Requests().back(); }
};

// The window's SAVE keeps a notification time the monitor wrote after LOAD, and saves the form as
// the modal picker left it.
TEST_F(ProfileFilesTest, SaveMergesTheMonitorsWriteBackAndTakesTheFormAfterThePicker) {
    const fs::path folder = Write(L"Desk", L"Desk");
    const fs::path config = folder / L"DeskConfig.json";
    Load(folder);
    ASSERT_EQ(UpdateProfileConfig(config,
                                  [](ProfileConfig& fresh) {
                                      fresh.Recipients[0].LastNotification = L"2026-01-01 09:00:00";
                                  }),
              ProfileUpdateResult::Written);
    whilePicking_ = [this] { SetText(kIdNotificationTitle, L"Set while picking"); };
    Save(folder);
    EXPECT_EQ(LastCaption(), L"Saved");
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(config, text));
    const ProfileConfig saved = ParseProfileConfig(text);
    EXPECT_EQ(saved.Recipients.at(0).LastNotification, L"2026-01-01 09:00:00");
    EXPECT_EQ(saved.DefaultTitle, L"Set while picking");
}

// A rules file LOAD cannot read is never written over: SAVE says so, and once the file reads
// again its rules are taken, not replaced by the empty set the window showed meanwhile.
TEST_F(ProfileFilesTest, AnUnreadableRulesFileIsNeitherShownAsEmptyNorSavedOver) {
    const fs::path folder = Write(L"Desk", L"Desk", 2);
    const fs::path rules = folder / L"DeskRules.json";
    fs::remove(rules);
    fs::create_directories(rules / L"x");  // something is there that cannot be read
    Load(folder);
    EXPECT_TRUE(Logged(L"could not be read"));
    Save(folder);
    EXPECT_EQ(LastCaption(), L"Rules Not Saved");  // not "Profile saved successfully."
    EXPECT_EQ(LastPrompt().text, RulesUnreadableMessage(rules));
    EXPECT_EQ(LastPrompt().icon, PromptIcon::Warning);
    EXPECT_TRUE(fs::is_directory(rules));

    fs::remove_all(rules);
    const RulesFile two = RulesWith(3);
    ASSERT_TRUE(SaveRulesFile(rules, two));
    Save(folder);
    EXPECT_EQ(LastCaption(), L"Saved");
    RulesFile read;
    ASSERT_EQ(LoadRulesFile(rules, read), RuleLoadResult::Loaded);
    EXPECT_EQ(read, two);
    EXPECT_EQ(window_->Rules(), two);
}

// A name read from Config.json is checked as SAVE checks one; the files' prefix is the name.
TEST_F(ProfileFilesTest, LoadRefusesAnUnusableNameAndGoesByTheFilesPrefix) {
    Load(Write(L"Escape", L"..\\..\\x"));
    EXPECT_EQ(LastCaption(), L"Invalid Profile Name");
    EXPECT_EQ(window_->ControlText(kIdProfileName), L"");
    EXPECT_TRUE(window_->CurrentProfileFolder().empty());

    Load(Write(L"Desk", L"Other"));
    EXPECT_EQ(window_->ControlText(kIdProfileName), L"Desk");
    EXPECT_TRUE(Logged(L"[WARNING] The profile file names the profile \"Other\""));
    EXPECT_TRUE(Logged(L"\"Desk\""));
}

}  // namespace
}  // namespace wrenpost

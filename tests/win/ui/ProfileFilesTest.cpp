// SAVE and LOAD against profile files that others write or damage: the monitor's notification
// times, a rules file that cannot be read, a name in Config.json that would build other paths.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "common/TextFile.h"
#include "profile/ProfileConfig.h"
#include "profile/TokenFile_win.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "support/TempDir.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

namespace fs = std::filesystem;
using testing::WriteAllBytes;

class ProfileFilesTest : public MainWindowFixture {
public:
    void SetUp() override {
        MainWindowFixture::SetUp();
        profiles_ = ProfilesFolder();
        std::error_code ignored;
        fs::remove_all(profiles_, ignored);
        fs::remove(AppStateFilePath(), ignored);
        Open([this](MainWindowServices& services) {
            services.pickFolder = [this](HWND, const fs::path&, fs::path& picked) {
                if (whilePicking_) {
                    whilePicking_();
                }
                picked = nextPick_;
                return true;
            };
        });
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        std::error_code ignored;
        fs::remove_all(profiles_, ignored);
    }

    // A profile folder as SAVE leaves it, under the name `name` in the file.
    fs::path Write(const std::wstring& prefix, const std::wstring& name, std::size_t rules = 0) {
        const fs::path folder = profiles_ / prefix;
        ProfileConfig config = DefaultProfileConfig();
        config.ProfileName = name;
        config.Recipients = {{L"42", L"Ann", true, L"2099-01-01 00:00:00", L"Never"}};
        config.SelectedFolders = {Folder(L"Mailbox", L"Inbox")};
        EXPECT_TRUE(SaveProfileConfig(folder / (prefix + L"Config.json"), config));
        EXPECT_TRUE(WriteTokenFile(folder / (prefix + L".token"), L"123:token"));
        RulesFile file;
        file.Rules.resize(rules, NotificationRule{.Name = L"R"});
        EXPECT_TRUE(SaveRulesFile(folder / (prefix + L"Rules.json"), file));
        return folder;
    }
    void Act(int command, const fs::path& folder) {
        nextPick_ = folder;
        Click(command);
        Pump([this] { return IsWindowEnabled(window_->Control(kIdLoad)) != FALSE; });
    }
    static ProfileConfig Read(const fs::path& path) {
        std::wstring text;
        EXPECT_TRUE(ReadTextFile(path, text));
        return ParseProfileConfig(text);
    }
    PromptRequest LastPrompt() const { return prompts_.Requests().back(); }
    bool Logged(const std::wstring& text) const {
        const auto& lines = window_->LogLines().Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
            return line.find(text) != std::wstring::npos;
        });
    }

    fs::path profiles_, nextPick_;
    std::function<void()> whilePicking_;
};

// The window's SAVE keeps a notification time the monitor wrote after LOAD, and saves the form as
// the modal picker left it.
TEST_F(ProfileFilesTest, SaveMergesTheMonitorsWriteBackAndTakesTheFormAfterThePicker) {
    const fs::path folder = Write(L"Desk", L"Desk");
    const fs::path config = folder / L"DeskConfig.json";
    Act(kIdLoad, folder);
    ASSERT_EQ(UpdateProfileConfig(config,
                                  [](ProfileConfig& fresh) {
                                      fresh.Recipients[0].LastNotification = L"2026-01-01 09:00:00";
                                  }),
              ProfileUpdateResult::Written);
    whilePicking_ = [this] { SetText(kIdNotificationTitle, L"Set while picking"); };
    Act(kIdSave, folder);
    EXPECT_EQ(LastPrompt().caption, L"Saved");
    const ProfileConfig saved = Read(config);
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
    Act(kIdLoad, folder);
    EXPECT_TRUE(Logged(L"could not be read"));
    Act(kIdSave, folder);
    EXPECT_EQ(LastPrompt().caption, L"Rules Not Saved");  // not "Profile saved successfully."
    EXPECT_EQ(LastPrompt().text, RulesUnreadableMessage(rules));
    EXPECT_EQ(LastPrompt().icon, PromptIcon::Warning);
    EXPECT_TRUE(fs::is_directory(rules));

    fs::remove_all(rules);
    RulesFile two;
    two.Rules.resize(2, NotificationRule{.Name = L"Kept"});
    ASSERT_TRUE(SaveRulesFile(rules, two));
    Act(kIdSave, folder);
    EXPECT_EQ(LastPrompt().caption, L"Saved");
    RulesFile read;
    ASSERT_EQ(LoadRulesFile(rules, read), RuleLoadResult::Loaded);
    EXPECT_EQ(read, two);
    EXPECT_EQ(window_->Rules(), two);
}

// A name read from Config.json is checked as SAVE checks one; the files' prefix is the name.
TEST_F(ProfileFilesTest, LoadRefusesAnUnusableNameAndGoesByTheFilesPrefix) {
    Act(kIdLoad, Write(L"Escape", L"..\\..\\x"));
    EXPECT_EQ(LastPrompt().caption, L"Invalid Profile Name");
    EXPECT_EQ(window_->ControlText(kIdProfileName), L"");
    EXPECT_TRUE(window_->CurrentProfileFolder().empty());

    Act(kIdLoad, Write(L"Desk", L"Other"));
    EXPECT_EQ(window_->ControlText(kIdProfileName), L"Desk");
    EXPECT_TRUE(Logged(L"[WARNING] The profile file names the profile \"Other\""));
    EXPECT_TRUE(Logged(L"\"Desk\""));
}

}  // namespace
}  // namespace wrenpost

// The main window with real profile files under wine: the folder picker and the monitor's
// Outlook and Telegram are answered by the test.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "common/LocalTime.h"
#include "profile/ProfileConfig.h"
#include "profile/TokenFile_win.h"
#include "rules/RulesFile.h"
#include "support/TempDir.h"
#include "ui/ModalLoop_win.h"
#include "ui/rules/RulesDialog_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {

namespace fs = std::filesystem;
using testing::ReadAllBytes;
using testing::WriteAllBytes;

inline constexpr wchar_t kToken[] = L"123456:sample-token";

inline std::set<std::wstring> FilesBelow(const fs::path& folder) {
    std::set<std::wstring> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        files.insert(it->path().lexically_relative(folder).wstring());
    }
    return files;
}

inline RulesFile RulesWith(std::size_t count) {
    RulesFile rules;
    for (std::size_t i = 0; i < count; ++i) {
        rules.Rules.push_back({L"r" + std::to_wstring(i), L"rule"});
    }
    return rules;
}

// One allowed recipient (notified `lastNotification`) and the Inbox.
inline ProfileConfig DeskProfile(const std::wstring& lastNotification = FormatLocalTimestamp()) {
    ProfileConfig config;
    config.Recipients = {{L"42", L"Ann", true, FormatLocalTimestamp(), lastNotification}};
    config.SelectedFolders = {Folder(L"Mailbox", L"Inbox")};
    return config;
}

// A profile folder as SAVE leaves it; the name in the file is `name` unless `config` gives one.
inline void WriteProfile(const fs::path& folder, const std::wstring& name, ProfileConfig config,
                         std::size_t rules = 0) {
    if (config.ProfileName.empty()) {
        config.ProfileName = name;
    }
    ASSERT_TRUE(SaveProfileConfig(folder / (name + L"Config.json"), config));
    ASSERT_TRUE(WriteTokenFile(folder / (name + L".token"), kToken));
    ASSERT_TRUE(SaveRulesFile(folder / (name + L"Rules.json"), RulesWith(rules)));
}

// Accepts every send, or answers 502 while `down` is set.
class TestProvider final : public NotificationProvider {
public:
    explicit TestProvider(const std::atomic<bool>& down) : down_(down) {}
    using NotificationProvider::Send;
    SendResult Send(const std::wstring&, const std::wstring&, const SendOptions&) override {
        return down_.load() ? SendResult{false, L"HTTP 502", 502, 0} : SendResult{true, L""};
    }
    std::wstring Name() const override { return L"test"; }

private:
    const std::atomic<bool>& down_;
};

class ProfileAndMonitorTest : public MainWindowFixture {
public:
    void SetUp() override {
        MainWindowFixture::SetUp();
        profiles_ = ProfilesFolder();
        std::error_code ignored;
        fs::remove_all(profiles_, ignored);
        fs::remove(AppStateFilePath(), ignored);
        fs::create_directories(profiles_);
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        std::error_code ignored;
        fs::remove_all(profiles_, ignored);
    }

    // Outlook offers one new mail once `mailArrives` is set; sends succeed unless
    // `telegramDown` is set; `whilePicking` runs while the folder picker is up.
    MainWindow& OpenWindow() {
        return Open([this](MainWindowServices& services) {
            services.pickFolder = [this](HWND, const fs::path& initial, fs::path& picked) {
                initialPick_ = initial;
                ++picks_;
                if (whilePicking_) {
                    whilePicking_();
                }
                picked = nextPick_;
                return !picked.empty();
            };
            MonitorDependencies monitor;
            monitor.ReadFolders = [this](const MailReadRequest&) {
                MailReadResult found;
                MailSnapshot mail;  // by default a minute from now: after any session's start
                mail.Subject = L"Quarterly numbers";
                mail.EntryId = L"M1";
                mail.DeliveryTimeUtc = (std::chrono::system_clock::now().time_since_epoch() +
                                        std::chrono::seconds(mailInSeconds_.load())) /
                                       100ns;
                mail.DeliveryTimeKnown = true;
                found.Messages = {mail};
                found.Ok = mailArrives_.load();
                found.GuardRefused = outlookRefuses_.load();
                return found;
            };
            monitor.MakeProvider = [this](const std::wstring&, const std::wstring&) {
                return std::make_unique<TestProvider>(telegramDown_);
            };
            monitor.KeepAwake = [](bool) {};
            services.monitor = monitor;
        });
    }

    void Load(const fs::path& folder) {
        nextPick_ = folder;
        Click(kIdLoad);
        Pump([this] { return IsWindowEnabled(window_->Control(kIdLoad)) != FALSE; });
    }
    std::wstring LastCaption() const {
        const auto asked = prompts_.Requests();
        return asked.empty() ? L"" : asked.back().caption;
    }
    // The profile Desk written, and LOADed into a new window.
    void OpenDesk(const ProfileConfig& config = DeskProfile(), std::size_t rules = 0) {
        WriteProfile(profiles_ / L"Desk", L"Desk", config, rules);
        OpenWindow();
        Load(profiles_ / L"Desk");
    }
    // Desk with `rules` rules, LOADed and STARTed under no name: an unsaved session.
    void StartUnsavedDesk(std::size_t rules) {
        OpenDesk(DeskProfile(), rules);
        SetText(kIdProfileName, L"");
        Click(kIdStartMonitor);
        ASSERT_TRUE(window_->IsMonitoring());
    }
    // The one enabled rule allows the switch on; the window saves and closes.
    void SwitchRulesOnInTheRulesWindow() {
        WhenReady(OnWindow(kRulesDialogClass, [](HWND rules) {
            Press(rules, kRulesMasterId);
            Press(rules, IDOK);
            return true;
        }));
        Click(kIdRules);
    }
    // A file of the running unsaved session's copy, by the end of its name.
    fs::path SessionCopy(const std::wstring& suffix) const {
        const fs::path temporary = window_->TemporaryProfile();
        const std::wstring name = temporary.filename().wstring();
        return temporary / (name.substr(0, name.rfind(L'@')) + suffix);
    }

    fs::path profiles_;
    fs::path nextPick_;  // empty: the picker is cancelled
    fs::path initialPick_;
    std::function<void()> whilePicking_;
    int picks_ = 0;  // folder pickers shown
    std::atomic<bool> mailArrives_{false};
    std::atomic<bool> telegramDown_{false};
    std::atomic<bool> outlookRefuses_{false};  // Outlook refuses the mail's guarded members
    std::atomic<int> mailInSeconds_{60};       // when the mail is delivered, from now
};

}  // namespace wrenpost

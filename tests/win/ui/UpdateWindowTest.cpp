// Update checks through the main window against a loopback update service: About's boxes, the
// "Update Available" window and its choices, and an automatic result waiting for our dialogs.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "../../unit/update/ManifestBuilder.h"
#include "MainWindowFixture.h"
#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/Screenshot_win.h"
#include "ui/ModalLoop_win.h"
#include "ui/main/AboutDialog_win.h"
#include "ui/main/UpdateAvailableDialog_win.h"
#include "ui/rules/RuleDialog_win.h"
#include "update/UpdateService_win.h"

namespace wrenpost {
namespace {

enum class Browser { Untouched, Opens, Fails };

struct UpdateCase {
    const char* name;
    std::string body;  // empty: the service fails
    bool automatic;
    void (*act)(HWND update);  // null: About's box answers
    Browser browser;
    const wchar_t* box;
    bool postponed;
};

std::vector<UpdateCase> UpdateCases() {
    const std::string newer = testing::Manifest(
        {{"latestVersion", "\"2.0.0\""},
         {"releaseNotes", "[\"Faster start-up\",\"Fixed the tray icon\",\"Clearer errors\"]"}});
    return {
        {"up to date", testing::Manifest({{"latestVersion", "\"1.0.0\""}}), false, nullptr,
         Browser::Untouched, kUpToDateText, false},
        {"pressed while an automatic check runs",
         testing::Manifest({{"latestVersion", "\"1.0.0\""}}), true, nullptr, Browser::Untouched,
         kUpToDateText, false},
        {"service failing", "", false, nullptr, Browser::Untouched, kUnableToCheckText, false},
        {"Later", newer, false, [](HWND w) { Press(w, kUpdateLaterId); }, Browser::Untouched,
         nullptr, true},
        {"Escape", newer, false,
         [](HWND w) { PostMessageW(GetDlgItem(w, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0); },
         Browser::Untouched, nullptr, true},
        {"close box", newer, false, [](HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); },
         Browser::Untouched, nullptr, true},
        // "Later" is handled only if the window stayed after the failed download.
        {"no browser", newer, false,
         [](HWND w) {
             Press(w, kUpdateOpenId);
             Press(w, kUpdateLaterId);
         },
         Browser::Fails, nullptr, true},
        {"download page opened", newer, false, [](HWND w) { Press(w, kUpdateOpenId); },
         Browser::Opens, nullptr, false},
        {"automatic waits for About", newer, true, [](HWND w) { Press(w, kUpdateLaterId); },
         Browser::Untouched, nullptr, true},
    };
}

// What one case saw of the windows.
struct Seen {
    HWND about = nullptr;
    HWND update = nullptr;
    std::wstring texts;  // the Update Available window's texts, each followed by "|"
};

class UpdateWindowTest : public MainWindowFixture {
protected:
    // The steps that play one case from About's opening; `seen` must outlive them.
    std::vector<std::function<bool()>> Steps(const UpdateCase& c, MainWindow& window,
                                             std::size_t asked, Seen& seen) {
        const auto closeAbout = [&seen] { PostMessageW(seen.about, WM_CLOSE, 0, 0); };
        std::vector<std::function<bool()>> steps = {
            OnWindow(kAboutDialogClass, [&c, &window, &seen](HWND about) {
                seen.about = about;
                if (c.automatic) {
                    window.StartAutomaticUpdateChecks();
                }
                if (!c.automatic || c.box) {
                    Press(seen.about, kAboutCheckForUpdatesId);
                }
                return true;
            })};
        if (c.automatic && c.act) {  // the result arrives while About is open, and waits
            steps.push_back([&window, closeAbout] {
                if (window.UpdateCheckRunning()) {
                    return false;
                }
                EXPECT_FALSE(FindWindowW(kUpdateAvailableDialogClass, nullptr));
                closeAbout();
                return true;
            });
        }
        if (c.act == nullptr) {
            steps.push_back([this, asked, closeAbout] {
                const bool answered = prompts_.Requests().size() > asked;
                if (answered) {
                    closeAbout();
                }
                return answered;
            });
            return steps;
        }
        steps.push_back(OnWindow(kUpdateAvailableDialogClass, [&c, &seen, &window](HWND update) {
            seen.update = update;
            EXPECT_EQ(GetWindow(seen.update, GW_OWNER), c.automatic ? window.Window() : seen.about);
            for (HWND child = GetWindow(seen.update, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                seen.texts += WindowText(child) + L"|";
            }
            EXPECT_TRUE(testing::SaveScreenshot(seen.update, L"update-available"));
            c.act(seen.update);
            return true;
        }));
        steps.push_back([&c, &seen, &window, closeAbout] {
            if (IsWindow(seen.update)) {
                return false;
            }
            if (!c.automatic) {
                EXPECT_TRUE(IsWindowEnabled(seen.about));
                EXPECT_FALSE(IsWindowEnabled(window.Window()));
                closeAbout();
            }
            return true;
        });
        return steps;
    }
};

TEST_F(UpdateWindowTest, AnswersAboutRemembersLaterAndWaitsForOurOtherDialogs) {
    testing::FakeBotApiServer service;
    ASSERT_TRUE(service.Start());
    const std::wstring url = service.BaseUrl();
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey, kUpdateServiceBaseUrlValue, REG_SZ,
                        url.c_str(), static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
    std::vector<std::wstring> opened;
    bool browserOpens = false;
    MainWindow& window = Open([&](MainWindowServices& services) {
        services.programVersion = [] { return Version{1, 0, 0}; };
        services.openLink = [&](const std::wstring& link) {
            opened.push_back(link);
            return browserOpens;
        };
    });
    HWND main = window.Window();
    for (const UpdateCase& c : UpdateCases()) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        std::filesystem::remove(AppStateFilePath(), ignored);
        // Slow when About's button is pressed while an automatic check runs.
        service.QueueReply("/api/updates/windows/latest",
                           {c.body.empty() ? 500 : 200, c.body, "application/json",
                            c.automatic && c.box ? 400ms : 0ms});
        opened.clear();
        browserOpens = c.browser == Browser::Opens;
        const std::size_t asked = prompts_.Requests().size();
        Seen seen;
        WhenReadyInTurn(Steps(c, window, asked, seen), 10s);
        const std::int64_t before = ToUnixSeconds(std::chrono::system_clock::now());
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(kIdAbout, BN_CLICKED), 0);
        Pump([] { return !pendingStep; }, 30s);
        EXPECT_TRUE(IsWindowEnabled(main));

        const std::vector<PromptRequest> requests = prompts_.Requests();
        ASSERT_EQ(requests.size() - asked, c.box || c.browser == Browser::Fails ? 1u : 0u);
        if (c.box != nullptr) {
            EXPECT_EQ(requests.back().text, c.box);
            EXPECT_EQ(requests.back().owner, reinterpret_cast<std::uintptr_t>(seen.about));
        } else {
            EXPECT_NE(
                seen.texts.find(L"|Current version: 1.0.0|New version: 2.0.0|What's new:|\u2022 "
                                L"Faster start-up\r\n\u2022 Fixed the tray icon\r\n\u2022 "
                                L"Clearer errors|"),
                std::wstring::npos);
        }
        if (c.browser == Browser::Fails) {
            EXPECT_EQ(requests.back().owner, reinterpret_cast<std::uintptr_t>(seen.update));
            EXPECT_EQ(requests.back().icon, PromptIcon::Warning);
        }
        EXPECT_EQ(opened, c.browser == Browser::Untouched
                              ? std::vector<std::wstring>{}
                              : std::vector<std::wstring>{url + L"/download"});
        const AppState state = LoadAppState();
        EXPECT_EQ(state.LastDismissedUpdateVersion, c.postponed ? L"2.0.0" : L"");
        EXPECT_EQ(state.LastDismissedUpdateAtEpochSeconds >= before, c.postponed);
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kWrenpostRegistryKey, kUpdateServiceBaseUrlValue);
}

}  // namespace
}  // namespace wrenpost

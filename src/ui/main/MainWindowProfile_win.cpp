// SAVE and LOAD: the form to and from a profile folder, and the clean-up of folders nobody needs.
#include <windows.h>
// The headers below need windows.h first.
#include <shlobj.h>

#include <algorithm>
#include <ctime>
#include <system_error>

#include "app/AppPaths_win.h"
#include "app/AppStateStore_win.h"
#include "app/RunningInstances_win.h"
#include "common/Clock.h"
#include "common/LocalTime.h"
#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "profile/CheckInterval.h"
#include "profile/ProfileFolders.h"
#include "profile/ProfileName.h"
#include "profile/TokenFile_win.h"
#include "rules/RulesFile.h"
#include "rules/RulesFileSave.h"
#include "telegram/Recipients.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/WindowPrompt_win.h"

namespace wrenpost {
namespace {

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

int CALLBACK PreselectFolder(HWND dialog, UINT message, LPARAM, LPARAM initial) {
    if (message == BFFM_INITIALIZED) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, initial);
    }
    return 0;
}

bool BrowseForFolder(HWND owner, const std::filesystem::path& initial,
                     std::filesystem::path& picked) {
    const std::wstring start = initial.wstring();
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = L"Select Profile Folder";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = &PreselectFolder;
    browse.lParam = reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    const UniqueCoTaskMemory owned(chosen);
    wchar_t path[MAX_PATH] = {};
    if (chosen == nullptr || !SHGetPathFromIDListW(chosen, path) || path[0] == L'\0') {
        return false;
    }
    picked = path;
    return true;
}

void SelectEntry(HWND list, const std::wstring& value) {
    const LRESULT found = value.empty()
                              ? CB_ERR
                              : SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(value.c_str()));
    SendMessageW(list, CB_SETCURSEL, found == CB_ERR ? 0 : static_cast<WPARAM>(found), 0);
}

// The box that ends SAVE: true when the rules were saved with the profile.
bool TellRulesSaved(HWND window, RulesSaveResult rulesSaved,
                    const std::filesystem::path& rulesPath) {
    if (rulesSaved == RulesSaveResult::Saved) {
        Tell(window, L"Saved", L"Profile saved successfully.", PromptIcon::Information);
        return true;
    }
    if (rulesSaved == RulesSaveResult::Unreadable) {
        Tell(window, L"Rules Not Saved", RulesUnreadableMessage(rulesPath), PromptIcon::Warning);
    } else {
        Tell(window, L"Rules Not Saved",
             L"The profile was saved, but its Notification Rules could not be saved to " +
                 PathText(rulesPath) + L". The rules in that file were not updated.",
             PromptIcon::Warning);
    }
    return false;
}

}  // namespace

LogFunction MainWindow::WindowLog() {
    return [this](LogLevel level, const std::wstring& text) { log_.Log(level, text); };
}

bool MainWindow::PickProfileFolder(std::filesystem::path& picked) {
    std::filesystem::path initial = ProfilesFolder();
    const std::wstring last = LoadAppState().LastProfileFolder;
    std::error_code error;
    if (!last.empty() && std::filesystem::is_directory(last, error)) {
        initial = last;
    }
    return services_.pickFolder ? services_.pickFolder(Window(), initial, picked)
                                : BrowseForFolder(Window(), initial, picked);
}

ProfileConfig MainWindow::GatherProfile() const {
    ProfileConfig config = DefaultProfileConfig();
    config.ProfileName = TrimWhitespace(ControlText(kIdProfileName));
    config.Source = ControlText(kIdSource);
    config.Operation = ControlText(kIdOperation);
    config.Provider = ControlText(kIdProvider);
    config.Recipients = recipients_;
    config.RecipientTopics = recipientTopics_;
    KeepTopicsOfRecipients(config.RecipientTopics, config.Recipients);
    // The window's list, which follows every tick: the tree itself is empty while Outlook is
    // unreachable, and saving its empty state would drop the profile's folders.
    config.SelectedFolders = selectedFolders_;
    config.UseSameTitle = IsChecked(kIdTitlesYes);
    config.DefaultTitle = TrimWhitespace(ControlText(kIdNotificationTitle));
    config.FolderTitles = folderTitles_;
    config.IncludeOldMessages = IsChecked(kIdSendExistingUnread);
    config.CheckInterval = CheckIntervalFromText(ControlText(kIdCheckSeconds));
    config.Message = messageOptions_;
    return config;
}

bool MainWindow::SaveProfile() {
    const std::wstring name = TrimWhitespace(ControlText(kIdProfileName));
    const std::wstring token = TrimWhitespace(ControlText(kIdAccessToken));
    if (name.empty()) {
        Tell(Window(), L"Missing Profile", L"Enter Profile Name first.", PromptIcon::Warning);
        return false;
    }
    if (token.empty()) {
        Tell(Window(), L"Missing Token", L"Enter Access Token first.", PromptIcon::Warning);
        return false;
    }
    if (const std::wstring problem = ProfileNameProblem(name); !problem.empty()) {
        Tell(Window(), L"Invalid Profile Name", problem, PromptIcon::Warning);
        return false;
    }
    std::filesystem::path picked;
    if (!PickProfileFolder(picked)) {
        return false;
    }
    // The picker is modal: recipients verified or folders ticked meanwhile belong in the file.
    // The name and token were checked before it and are saved as checked.
    ProfileConfig config = GatherProfile();
    config.ProfileName = name;
    const std::filesystem::path folder = SaveFolderFor(picked, name);
    const std::filesystem::path configPath = folder / (name + L"Config.json");
    const std::filesystem::path tokenPath = folder / (name + L".token");
    std::wstring error;
    bool saved = false;
    try {
        std::filesystem::create_directories(folder);
        if (const auto other = ConflictingProfile(folder, name)) {
            Tell(Window(), L"Profile Conflict",
                 L"This folder already contains a different profile (\"" + *other +
                     L"\").\n\nChoose a different folder, or a different Profile Name, to avoid "
                     L"mixing their files together.",
                 PromptIcon::Error);
            log_.Error(L"Save blocked: folder already belongs to profile \"" + *other + L"\": " +
                       folder.wstring());
            return false;
        }
        saved = SaveProfileConfig(configPath, config, &error) &&
                WriteTokenFile(tokenPath, token, &error) && Exists(configPath) && Exists(tokenPath);
    } catch (const std::exception& failure) {
        error = Utf8ToWide(failure.what());
    }
    if (!saved) {
        log_.Error(L"Failed to save profile files.");
        if (!error.empty()) {
            log_.Error(error);
        }
        Tell(Window(), L"Save Failed", L"Failed to save profile files.", PromptIcon::Error);
        return false;
    }
    store_.SetCurrent(config);
    SweepProfileFolderTemporaryFiles(folder, WindowLog());
    SetLastProfile(name);
    profileFolder_ = folder;
    profileName_ = name;
    SetLastProfileFolder(folder.wstring());
    const std::filesystem::path rulesPath = folder / (name + L"Rules.json");
    const RulesSaveResult rulesSaved = SaveRulesWithProfile(rulesPath);
    log_.Info(L"Config saved: " + configPath.wstring());
    log_.Info(L"Selected folders saved: " + std::to_wstring(config.SelectedFolders.size()));
    log_.Info(L"Encrypted token saved as hidden file: " + tokenPath.wstring());
    log_.Info(L"Last profile saved: " + name);
    SetStatus(L"Status: Config Saved");
    ShowIdentity();
    keptForm_ = {config, token, rules_};
    if (!TellRulesSaved(Window(), rulesSaved, rulesPath)) {
        // The file does not hold the window's rules: they still count as unsaved.
        keptForm_.rules.Version = -1;
        return false;
    }
    return true;
}

RulesSaveResult MainWindow::SaveRulesWithProfile(const std::filesystem::path& rulesPath) {
    // The rules LOAD could not read stay the file's until the window holds rules of its own.
    if (rulesUnread_ == rulesPath && rules_.Rules.empty()) {
        RulesFile onDisk;
        if (LoadRulesFile(rulesPath, onDisk) == RuleLoadResult::Loaded) {
            rules_ = std::move(onDisk);
            rulesUnread_.clear();
            log_.Info(L"Notification Rules read from the file, which is readable again: " +
                      PathText(rulesPath));
            return RulesSaveResult::Saved;
        }
    }
    const RulesSaveResult result =
        SaveRulesOverFile(rulesPath, rules_, std::time(nullptr), WindowLog());
    if (result == RulesSaveResult::Saved) {
        rulesUnread_.clear();
        log_.Info(L"Notification Rules saved with profile: " + PathText(rulesPath));
    } else {
        log_.Error(
            L"Profile configuration and token saved successfully, but Notification Rules "
            L"FAILED to save: " +
            PathText(rulesPath) + L". This profile's rules were not updated.");
    }
    return result;
}

void MainWindow::LoadProfile() {
    std::filesystem::path folder;
    if (SettleUnsavedChanges() && PickProfileFolder(folder)) {
        LoadProfileFrom(folder);
    }
}

bool MainWindow::ReadConfigForLoad(const FoundProfileConfig& found, ProfileConfigStore& loaded) {
    if (!loaded.ReadProfileConfig(found.Path)) {
        log_.Error(L"Failed to load config.");
        Tell(Window(), L"Load Failed", L"Failed to load config.", PromptIcon::Error);
        return false;
    }
    const LoadedProfileName checked =
        ProfileNameAtLoad(loaded.Current().ProfileName, found.ProfileName);
    if (!checked.problem.empty()) {
        log_.Error(L"Load refused: the profile name in " + found.Path.wstring() +
                   L" cannot be used. " + checked.problem);
        Tell(Window(), L"Invalid Profile Name", checked.problem, PromptIcon::Warning);
        return false;
    }
    if (!checked.warning.empty()) {
        log_.Warning(checked.warning);
    }
    loaded.Current().ProfileName = checked.name;
    return true;
}

RuleLoadResult MainWindow::ReadRulesForLoad(const std::filesystem::path& rulesPath,
                                            RulesFile& rules) {
    const RuleLoadResult read = LoadRulesFile(rulesPath, rules);
    if (read == RuleLoadResult::Corrupt) {
        log_.Error(L"Notification Rules file is corrupted for this profile: " +
                   PathText(rulesPath) + L". Treating as an empty rule set for this session.");
        rules = RulesFile{};
    } else if (read == RuleLoadResult::Unreadable) {
        log_.Warning(L"The Notification Rules file " + PathText(rulesPath) +
                     L" could not be read (it may be in use); it is left as it is.");
    }
    return read;
}

void MainWindow::LoadProfileFrom(const std::filesystem::path& folder) {
    const std::optional<FoundProfileConfig> found = FindProfileConfig(folder);
    if (!found) {
        Tell(Window(), L"Missing Config",
             L"No profile configuration file (*Config.json) was found in this folder.",
             PromptIcon::Error);
        log_.Error(L"Load failed. No *Config.json found in: " + folder.wstring());
        return;
    }
    const std::wstring& name = found->ProfileName;
    const std::filesystem::path tokenPath = folder / (name + L".token");
    if (!Exists(tokenPath)) {
        Tell(Window(), L"Missing Token", L"Token file was not found in this profile folder.",
             PromptIcon::Error);
        log_.Error(L"Load failed. Token file missing.");
        return;
    }
    ProfileConfigStore loaded;
    if (!ReadConfigForLoad(*found, loaded)) {
        return;
    }
    const std::filesystem::path rulesPath = folder / (name + L"Rules.json");
    RulesFile rules;
    const RuleLoadResult rulesRead = ReadRulesForLoad(rulesPath, rules);
    std::wstring tokenError;
    const std::wstring token = ReadTokenFile(tokenPath, &tokenError);
    if (token.empty()) {
        // Nothing of this profile reaches the window, its rules included: the form keeps
        // showing the previous profile whole.
        Tell(Window(), L"Profile Cannot Be Loaded",
             L"This profile belongs to a different Windows installation and cannot be used on "
             L"this device.\n\nPlease create a new profile and enter the Telegram Bot Token "
             L"again.",
             PromptIcon::Error);
        log_.Error(L"Failed to decrypt token file.");
        return;
    }
    store_ = std::move(loaded);
    rules_ = std::move(rules);
    rulesUnread_ = rulesRead == RuleLoadResult::Unreadable ? rulesPath : std::filesystem::path();
    log_.Info(L"Notification Rules loaded with profile: " + std::to_wstring(rules_.Rules.size()) +
              L" rule(s).");
    ProfileConfig& config = store_.Current();
    if (RemoveInactiveRecipients(config.Recipients, SystemClock(), WindowLog())) {
        if (SaveProfileConfig(found->Path, config)) {
            log_.Info(L"Profile updated after automatic inactive recipient cleanup.");
        } else {
            log_.Error(L"Failed to save profile after automatic inactive recipient cleanup.");
        }
    }
    ShowProfile(config, token);
    SweepProfileFolderTemporaryFiles(folder, WindowLog());
    profileFolder_ = folder;
    profileName_ = config.ProfileName;
    SetLastProfile(config.ProfileName);
    SetLastProfileFolder(folder.wstring());
    log_.Info(L"Config loaded: " + found->Path.wstring());
    log_.Info(L"Encrypted token loaded from hidden file: " + tokenPath.wstring());
    if (const OutboxSummary waiting = SummarizeOutbox(OutboxFolder(folder, config.ProfileName));
        waiting.Count > 0) {
        log_.Info(
            std::to_wstring(waiting.Count) + L" notifications of this profile are waiting since " +
            FormatLocalTimestamp(static_cast<std::time_t>(waiting.OldestQueuedUtc / 10000000)) +
            L"; they are sent when monitoring starts.");
    }
    formHoldsSession_ = false;
    KeepForm();
    ShowIdentity();
    StartBotCheck();
}

void MainWindow::ShowProfile(const ProfileConfig& config, const std::wstring& token) {
    SetControlText(kIdProfileName, config.ProfileName);
    SelectEntry(Control(kIdSource), config.Source);
    SelectEntry(Control(kIdOperation), config.Operation);
    SelectEntry(Control(kIdProvider), config.Provider);
    SetControlText(kIdAccessToken, token);
    recipients_ = config.Recipients;
    recipientTopics_ = config.RecipientTopics;
    ShowRecipientCount();
    SetControlText(kIdCheckSeconds, std::to_wstring(config.CheckInterval));
    folderTitles_ = config.FolderTitles;
    SetTitleMode(config.UseSameTitle);
    SetControlText(kIdNotificationTitle, config.DefaultTitle);
    SendMessageW(Control(kIdSendExistingUnread), BM_SETCHECK,
                 config.IncludeOldMessages ? BST_CHECKED : BST_UNCHECKED, 0);
    selectedFolders_ = config.SelectedFolders;
    messageOptions_ = config.Message;
    // The tree shows the loaded ticks at once: a click before (or without) a new detection
    // must not store the previous profile's.
    fillingTree_ = true;
    folderTree_.CheckFolders(selectedFolders_);
    fillingTree_ = false;
    RebuildFolderTitleList();
    SetControlText(kIdFoldersCount, L"Folders: " + std::to_wstring(selectedFolders_.size()));
    StartFolderDetection();
}

void MainWindow::CleanProfileFolders() {
    const std::filesystem::path profiles = ProfilesFolder();
    if (!profiles.empty()) {
        CleanOrphanProfileFolders(profiles, WindowLog(), keptFolders_);
    }
}

}  // namespace wrenpost

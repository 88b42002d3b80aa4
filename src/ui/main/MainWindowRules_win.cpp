// "Rules": the Notification Rules window over the profile being edited, and a change that
// reaches the running session.
#include <windows.h>

#include "app/AppPaths_win.h"
#include "profile/ProfileFolders.h"
#include "profile/TemporaryProfiles.h"
#include "rules/RulesFile.h"
#include "ui/main/MainWindow_win.h"
#include "ui/main/WindowPrompt_win.h"
#include "ui/rules/RulesDialog_win.h"

namespace wrenpost {

void MainWindow::ShowRules() {
    if (selectedFolders_.empty()) {
        Tell(Window(), L"Notification Rules",
             L"Select at least one Outlook folder before setting up rules.", PromptIcon::Warning);
        return;
    }
    RulesDialogRequest request;
    request.rules = &rules_;
    // A profile not yet saved keeps its rules in the window until SAVE writes them.
    if (!profileFolder_.empty() && !profileName_.empty()) {
        request.rulesPath = profileFolder_ / (profileName_ + L"Rules.json");
    }
    request.folders = selectedFolders_;
    request.recipients = recipients_;
    request.log = WindowLog();
    request.pickFile = services_.pickFile;
    // A saved session reads its rules file every cycle; an unsaved one reads its own copy, which
    // is refreshed here while the form still shows that session, so both take a change at their
    // next cycle. Rules of a profile loaded since stay that profile's.
    request.saved = [this, path = request.rulesPath] {
        // The window writes a saved profile's file itself: rules the file holds are not unsaved.
        RulesFile onDisk;
        if (!path.empty() && LoadRulesFile(path, onDisk) == RuleLoadResult::Loaded &&
            onDisk == rules_) {
            keptForm_.rules = rules_;
        }
        if (!monitoring_) {
            return;
        }
        const wchar_t* applies =
            L"Notification Rules change applies from the running session's "
            L"next check.";
        if (!temporaryProfile_.empty() && formHoldsSession_) {
            const std::filesystem::path copy =
                temporaryProfile_ / (TemporaryProfileName(sessionName_) + L"Rules.json");
            if (SaveRulesFile(copy, rules_)) {
                log_.Info(applies);
            } else {
                log_.Error(L"Failed to update the running session's rules: " + PathText(copy));
            }
        } else if (temporaryProfile_.empty() && !path.empty() &&
                   ProfileFolderFor(ProfilesFolder(), profileFolder_, sessionName_) /
                           (sessionName_ + L"Rules.json") ==
                       path) {
            log_.Info(applies);
        } else {
            log_.Warning(L"Rules changes apply to " +
                         (profileName_.empty() ? std::wstring(L"this profile") : profileName_) +
                         L", not to the running session " + sessionName_ + L".");
        }
    };
    ShowNotificationRulesDialog(Window(), std::move(request));
}

}  // namespace wrenpost

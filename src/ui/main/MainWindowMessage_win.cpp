// "Message…": the Message Options dialog over the profile being edited, and a change that reaches
// an unsaved running session.
#include <windows.h>

#include "common/Text.h"
#include "profile/TemporaryProfiles.h"
#include "rules/RulesFile.h"
#include "ui/main/MainWindow_win.h"
#include "ui/message/MessageOptionsDialog_win.h"

namespace wrenpost {

void MainWindow::ShowMessageOptions() {
    MessageOptionsRequest request;
    request.options = messageOptions_;
    const std::wstring single = TrimWhitespace(ControlText(kIdNotificationTitle));
    // The monitor's own fallback title when the form gives none.
    request.title = IsChecked(kIdTitlesYes) && !single.empty() ? single : L"New Outlook Mail";
    if (OutlookRefusedGuardedMembers()) {
        request.note = kOutlookRefusedNote;
    }
    request.formatTime = FormatDeliveryTime;
    if (!ShowMessageOptionsDialog(Window(), request) || request.options == messageOptions_) {
        return;
    }
    messageOptions_ = request.options;
    if (!monitoring_) {
        return;
    }
    if (temporaryProfile_.empty()) {
        // A saved session reads its Config.json every cycle, so SAVE is what reaches it.
        log_.Info(L"Message Options change applies to the running session after SAVE.");
        return;
    }
    // An unsaved session reads its own copy every cycle: only the options change in it, the
    // rest of the form's edits stay out of the running session as at START.
    const std::filesystem::path copy =
        temporaryProfile_ / (TemporaryProfileName(sessionName_) + L"Config.json");
    std::wstring error;
    if (UpdateProfileConfig(
            copy, [this](ProfileConfig& config) { config.Message = messageOptions_; }, &error) ==
        ProfileUpdateResult::Written) {
        log_.Info(L"Message Options change applies from the running session's next check.");
    } else {
        log_.Error(L"Failed to update the running session's Message Options: " + PathText(copy) +
                   (error.empty() ? L"" : L" (" + error + L")"));
    }
}

bool MainWindow::OutlookRefusedGuardedMembers() const {
    return engine_ != nullptr && engine_->OutlookRefusedGuardedMembers();
}

}  // namespace wrenpost

// "Get Chat ID" and "Manage Recipients": the profile's recipients through their two windows.
#include <windows.h>

#include "common/Text.h"
#include "telegram/Recipients.h"
#include "telegram/TelegramCommands.h"
#include "ui/main/MainWindow_win.h"
#include "ui/recipients/RecipientsManager_win.h"
#include "ui/recipients/VerificationWindow_win.h"

namespace wrenpost {

void MainWindow::StartVerification() {
    const std::wstring token = TrimWhitespace(ControlText(kIdAccessToken));
    const auto owner = reinterpret_cast<std::uintptr_t>(Window());
    if (!ConfirmVerificationAllowed(token, validatedToken_, owner)) {
        return;
    }
    VerificationWindowRequest request;
    request.token = token;
    request.code = GenerateVerificationCode();
    request.botUsername = TrimWhitespace(ControlText(kIdBotUsername));
    request.transport = TelegramHttp();
    request.clock = services_.clock;
    request.log = WindowLog();
    request.openLink = services_.openLink;
    const VerificationWindowResult result = RunVerificationWindow(Window(), request);
    const VerificationOutcomeEffects effects = ApplyVerificationOutcome(
        result.outcome, result.candidates, result.error, recipients_,
        services_.clock != nullptr ? *services_.clock : SystemClock(), WindowLog(), owner,
        [this](const std::wstring& line) { SetStatus(line); });
    if (result.outcome == kVerificationSucceeded && !result.candidates.empty()) {
        const VerificationCandidate& chosen = result.candidates.front();
        if (RecordRecipientTopic(recipientTopics_, recipients_, chosen.chatId,
                                 chosen.messageThreadId)) {
            log_.Info(chosen.messageThreadId != 0
                          ? L"Recipient " + chosen.chatId + L" receives notifications in topic " +
                                std::to_wstring(chosen.messageThreadId) + L"."
                          : L"Recipient " + chosen.chatId +
                                L" receives notifications outside any topic.");
        }
    }
    if (effects.recipientsChanged) {
        ShowRecipientCount();
    }
}

void MainWindow::ManageRecipients() {
    if (RunRecipientsManager(Window(), recipients_, recipientTopics_,
                             [this](HWND manager) { recipientsManager_ = manager; })) {
        ShowRecipientCount();
        log_.Info(L"Recipients updated.");
    }
}

void MainWindow::ShowRecipientCount() {
    SetControlText(kIdRecipientCount, std::to_wstring(recipients_.size()));
}

}  // namespace wrenpost

#include "telegram/TelegramCommands.h"

#include "common/Prompt.h"
#include "common/Text.h"
#include "telegram/BotCheck.h"
#include "telegram/Recipients.h"

namespace wrenpost {
namespace {

PromptAnswer Show(std::uintptr_t owner, const wchar_t* caption, std::wstring text, PromptIcon icon,
                  PromptButtons buttons = PromptButtons::Ok) {
    PromptRequest request;
    request.owner = owner;
    request.caption = caption;
    request.text = std::move(text);
    request.icon = icon;
    request.buttons = buttons;
    return ShowPrompt(request);
}

void Log(const LogFunction& log, LogLevel level, const std::wstring& text) {
    if (log) {
        log(level, text);
    }
}

}  // namespace

bool ConfirmTokenEntered(const std::wstring& trimmedToken, std::uintptr_t owner) {
    if (!trimmedToken.empty()) {
        return true;
    }
    Show(owner, L"Missing Token", L"Please enter the Bot Token first.", PromptIcon::Warning);
    return false;
}

bool ConfirmVerificationAllowed(const std::wstring& trimmedToken,
                                const std::wstring& validatedToken, std::uintptr_t owner) {
    if (!ConfirmTokenEntered(trimmedToken, owner)) {
        return false;
    }
    if (trimmedToken != validatedToken) {
        Show(
            owner, L"Bot Token Required",
            L"Please click Check first to validate the Bot Token and retrieve the bot information.",
            PromptIcon::Warning);
        return false;
    }
    return true;
}

bool ConfirmTestSendAllowed(const std::wstring& trimmedToken,
                            const std::vector<RecipientEntry>& recipients,
                            std::vector<std::wstring>& chatIds, const LogFunction& log,
                            std::uintptr_t owner) {
    if (trimmedToken.empty()) {
        Show(owner, L"Missing Token", L"Enter Access Token first.", PromptIcon::Warning);
        return false;
    }
    chatIds = AllowedChatIds(recipients);
    if (chatIds.empty()) {
        const std::wstring text = L"No allowed Telegram recipients configured.";
        Log(log, LogLevel::Error, text);
        Show(owner, L"Missing Recipient", text, PromptIcon::Warning);
        return false;
    }
    return true;
}

VerificationOutcomeEffects ApplyVerificationOutcome(
    VerificationOutcome outcome, const std::vector<VerificationCandidate>& candidates,
    const std::wstring& error, std::vector<RecipientEntry>& recipients, const Clock& clock,
    const LogFunction& log, std::uintptr_t owner,
    const std::function<void(const std::wstring&)>& showStatus) {
    VerificationOutcomeEffects effects;
    const auto status = [&](const wchar_t* line) {
        effects.statusLine = line;
        if (showStatus) {
            showStatus(effects.statusLine);
        }
    };
    if (outcome == kVerificationExpired) {
        Log(log, LogLevel::Info, L"Verification failed: code expired or no matching code found.");
        status(L"Status: Verification Failed");
        Show(owner, L"Telegram Verification",
             L"Verification failed. Code expired or no matching code found.", PromptIcon::Warning);
        return effects;
    }
    if (outcome == kVerificationFailed) {
        Log(log, LogLevel::Error, L"Chat ID verification failed: " + error);
        status(L"Status: Verification Failed");
        Show(owner, L"Telegram Error", error, PromptIcon::Error);
        return effects;
    }
    if (outcome != kVerificationSucceeded || candidates.empty()) {
        return effects;  // cancelled
    }
    Log(log, LogLevel::Info,
        L"Verification successful. Candidates found: " +
            ToWideDecimal(static_cast<long long>(candidates.size())));
    status(L"Status: Verification Successful");
    const VerificationCandidate& chosen = candidates.front();
    switch (AddRecipient(recipients, chosen.chatId, chosen.displayName, clock, owner)) {
        case kRecipientAdded:
            effects.recipientsChanged = true;
            Log(log, LogLevel::Info,
                L"Chat ID selected: " + chosen.chatId + L" (" + chosen.displayName + L")");
            status(L"Status: Chat ID Selected");
            Show(owner, L"Verification Successful",
                 L"Verification code matched successfully.\n\nNew Telegram recipient "
                 L"added.\n\nUser:\n" +
                     chosen.displayName + L"\n\nChat ID:\n" + chosen.chatId,
                 PromptIcon::Information);
            break;
        case kRecipientAlreadyPresent: {
            const RecipientEntry* stored = FindRecipient(recipients, chosen.chatId);
            const std::wstring storedName =
                stored != nullptr ? stored->DisplayName : chosen.displayName;
            Log(log, LogLevel::Info,
                L"Recipient already registered: " + chosen.chatId + L" (" + storedName + L")");
            status(L"Status: Recipient Already Registered");
            if (Show(owner, L"Recipient Already Registered",
                     L"This Telegram user already exists in Manage Recipients.\n\nWould you like "
                     L"to view the user details?",
                     PromptIcon::Question, PromptButtons::YesNo) == PromptAnswer::Yes) {
                Show(owner, L"Recipient Details",
                     L"User:\n" + storedName + L"\n\nChat ID:\n" + chosen.chatId,
                     PromptIcon::Information);
            }
            break;
        }
        case kRecipientLimitReached:
            break;  // the limit message has been shown
    }
    return effects;
}

}  // namespace wrenpost

// The main window's Telegram commands apart from the windows themselves: the checks before
// Check, TEST and "Get Chat ID" start, and the handling of a verification outcome. Every
// message box goes through the prompt seam; `owner` is the window that owns it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/ActivityLog.h"
#include "common/Clock.h"
#include "profile/ProfileConfig.h"
#include "telegram/Verification.h"

namespace wrenpost {

// Check: false (after the "Missing Token" box) when the trimmed token is empty.
[[nodiscard]] bool ConfirmTokenEntered(const std::wstring& trimmedToken, std::uintptr_t owner);

// "Get Chat ID": the token must be entered and equal the token validated by the last Check.
[[nodiscard]] bool ConfirmVerificationAllowed(const std::wstring& trimmedToken,
                                              const std::wstring& validatedToken,
                                              std::uintptr_t owner);

// TEST: token entered ("Enter Access Token first.") and at least one allowed recipient
// (logged at ERROR and shown otherwise). `chatIds` receives the allowed chat ids.
[[nodiscard]] bool ConfirmTestSendAllowed(const std::wstring& trimmedToken,
                                          const std::vector<RecipientEntry>& recipients,
                                          std::vector<std::wstring>& chatIds,
                                          const LogFunction& log, std::uintptr_t owner);

// What the main window does after the verification window closed: log, message boxes, and for
// a success the first candidate added to `recipients`. Returns the new status line (empty when
// it stays) and whether the list changed (the count field is then refreshed). `showStatus`, when
// set, gets the status line before any box shows, so the window behind the box is current.
struct VerificationOutcomeEffects {
    std::wstring statusLine;
    bool recipientsChanged = false;
};
VerificationOutcomeEffects ApplyVerificationOutcome(
    VerificationOutcome outcome, const std::vector<VerificationCandidate>& candidates,
    const std::wstring& error, std::vector<RecipientEntry>& recipients, const Clock& clock,
    const LogFunction& log, std::uintptr_t owner,
    const std::function<void(const std::wstring&)>& showStatus = {});

}  // namespace wrenpost

// The modal "Telegram Verification" window: shows a one-use code and a three-minute countdown
// while a worker waits for the user to send the code to the bot.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/ActivityLog.h"
#include "common/Clock.h"
#include "common/HttpClient.h"
#include "telegram/Verification.h"

namespace wrenpost {

inline constexpr wchar_t kVerificationWindowClass[] = L"WrenpostTelegramVerificationDialog";

struct VerificationWindowRequest {
    std::wstring token;
    std::wstring code;
    std::wstring botUsername;
    HttpTransport transport;
    const Clock* clock = nullptr;  // must outlive the worker; null: the system clock
    LogFunction log;
    std::function<bool(const std::wstring& link)> openLink;  // null: the shell
};

struct VerificationWindowResult {
    VerificationOutcome outcome = kVerificationCancelled;
    std::vector<VerificationCandidate> candidates;
    std::wstring error;
};

// Runs the window modally over `owner` (log lines of the worker go to `owner` as well) until a
// result has been shown for 1.2 s, the user cancels, or the window is destroyed from outside.
VerificationWindowResult RunVerificationWindow(HWND owner,
                                               const VerificationWindowRequest& request);

}  // namespace wrenpost

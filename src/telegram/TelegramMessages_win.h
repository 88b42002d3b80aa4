// The window messages through which the Telegram workers report to the windows, their records,
// and the starters that run a worker detached and post its result.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/AppMessages_win.h"
#include "common/PostedRecord_win.h"
#include "telegram/BotCheck.h"
#include "telegram/Verification.h"

namespace wrenpost {

struct BotCheckResultRecord final : PostedRecord {
    BotCheckResult result;
};
struct TestSendResultRecord final : PostedRecord {
    TestSendResult result;
};
struct VerificationResultRecord final : PostedRecord {
    VerificationResult result;
};
struct LogLinesRecord final : PostedRecord {
    std::vector<std::wstring> lines;
};

// Each returns at once; the result arrives as the message above, its record adopted with
// AdoptRecord<...Record>(wParam, lParam).
void StartBotCheckForWindow(HWND mainWindow, HttpTransport transport, std::wstring token,
                            std::uint32_t generation);
void StartTestSendForWindow(HWND mainWindow, NotificationProviderFactory factory,
                            std::wstring token, std::vector<std::wstring> chatIds,
                            std::vector<RecipientTopic> topics);
// The result goes to `dialog` (not when cancelled); log lines go to `mainWindow`.
// `clock` must outlive the worker (the system clock, or a test's static one).
void StartVerificationForWindow(HWND dialog, HWND mainWindow, HttpTransport transport,
                                const Clock& clock, VerificationRequest request,
                                CancelFlag cancelled);

}  // namespace wrenpost

// Runs the Check, TEST and verification workers on detached threads. Each worker gets copies of
// its inputs and hands its one result to a callback on its own thread; the Windows side turns
// the callbacks into posted window messages (TelegramMessages_win.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "telegram/BotCheck.h"
#include "telegram/Verification.h"

namespace wrenpost {

void StartBotCheck(HttpTransport transport, const Clock& clock, std::wstring token,
                   std::uint32_t generation, std::function<void(BotCheckResult)> done);

void StartTestSend(NotificationProviderFactory factory, std::wstring token,
                   std::vector<std::wstring> chatIds, std::function<void(TestSendResult)> done);

// `done` is not called when the verification was cancelled.
void StartVerification(HttpTransport transport, const Clock& clock, VerificationRequest request,
                       CancelFlag cancelled, LogLinesSink logLines,
                       std::function<void(VerificationResult)> done);

}  // namespace wrenpost

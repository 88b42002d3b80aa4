// Runs the Check, TEST and verification workers through the guarded launcher. Each worker gets
// copies of its inputs and hands its one result to a callback; a worker whose thread cannot be
// created, or that throws, hands over a failed result instead (on the starting thread when no
// thread exists). The Windows side turns the callbacks into posted window messages
// (TelegramMessages_win.h).
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
                   std::vector<std::wstring> chatIds, std::vector<RecipientTopic> topics,
                   std::function<void(TestSendResult)> done);

// `done` is not called when the verification was cancelled.
void StartVerification(HttpTransport transport, const Clock& clock, VerificationRequest request,
                       CancelFlag cancelled, LogLinesSink logLines,
                       std::function<void(VerificationResult)> done);

}  // namespace wrenpost

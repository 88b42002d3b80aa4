#include "telegram/TelegramWorkers.h"

#include <thread>

namespace wrenpost {

// The clock is a process-lifetime object (SystemClock, or a test's clock that outlives the
// worker), so a reference is enough.
void StartBotCheck(HttpTransport transport, const Clock& clock, std::wstring token,
                   std::uint32_t generation, std::function<void(BotCheckResult)> done) {
    std::thread([transport = std::move(transport), &clock, token = std::move(token), generation,
                 done = std::move(done)] {
        done(RunBotCheck(transport, clock, token, generation));
    }).detach();
}

void StartTestSend(NotificationProviderFactory factory, std::wstring token,
                   std::vector<std::wstring> chatIds, std::function<void(TestSendResult)> done) {
    std::thread([factory = std::move(factory), token = std::move(token),
                 chatIds = std::move(chatIds), done = std::move(done)] {
        done(RunTestSend(factory, token, chatIds));
    }).detach();
}

void StartVerification(HttpTransport transport, const Clock& clock, VerificationRequest request,
                       CancelFlag cancelled, LogLinesSink logLines,
                       std::function<void(VerificationResult)> done) {
    std::thread([transport = std::move(transport), &clock, request = std::move(request),
                 cancelled = std::move(cancelled), logLines = std::move(logLines),
                 done = std::move(done)] {
        if (auto result = RunVerification(transport, clock, request, cancelled, logLines)) {
            done(std::move(*result));
        }
    }).detach();
}

}  // namespace wrenpost

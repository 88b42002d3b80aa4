#include "telegram/TelegramWorkers.h"

#include "common/WorkerLauncher.h"

namespace wrenpost {

// The clock is a process-lifetime object (SystemClock, or a test's clock that outlives the
// worker), so a reference is enough.
void StartBotCheck(HttpTransport transport, const Clock& clock, std::wstring token,
                   std::uint32_t generation, std::function<void(BotCheckResult)> done) {
    BotCheckResult failure;
    failure.generation = generation;
    failure.token = token;
    failure.errorKind = kBotCheckOtherFailure;
    LaunchWorker([transport = std::move(transport), &clock, token = std::move(token), generation,
                  done] { done(RunBotCheck(transport, clock, token, generation)); },
                 [failure = std::move(failure), done](const std::wstring& reason) mutable {
                     failure.errorText = reason;
                     done(std::move(failure));
                 });
}

void StartTestSend(NotificationProviderFactory factory, std::wstring token,
                   std::vector<std::wstring> chatIds, std::vector<RecipientTopic> topics,
                   std::function<void(TestSendResult)> done) {
    TestSendResult failure;
    failure.total = static_cast<std::uint32_t>(chatIds.size());
    failure.failed = failure.total;
    LaunchWorker(
        [factory = std::move(factory), token = std::move(token), chatIds = std::move(chatIds),
         topics = std::move(topics), done] { done(RunTestSend(factory, token, chatIds, topics)); },
        [failure, done](const std::wstring&) { done(failure); });
}

void StartVerification(HttpTransport transport, const Clock& clock, VerificationRequest request,
                       CancelFlag cancelled, LogLinesSink logLines,
                       std::function<void(VerificationResult)> done) {
    LaunchWorker(
        [transport = std::move(transport), &clock, request = std::move(request), cancelled,
         logLines = std::move(logLines), done] {
            if (auto result = RunVerification(transport, clock, request, cancelled, logLines)) {
                done(std::move(*result));
            }
        },
        [cancelled, done](const std::wstring& reason) {
            if (cancelled && cancelled->load()) {
                return;
            }
            VerificationResult failure;
            failure.error = reason;
            done(std::move(failure));
        });
}

}  // namespace wrenpost

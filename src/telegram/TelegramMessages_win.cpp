#include "telegram/TelegramMessages_win.h"

#include "telegram/TelegramWorkers.h"

namespace wrenpost {

void StartBotCheckForWindow(HWND mainWindow, HttpTransport transport, std::wstring token,
                            std::uint32_t generation) {
    StartBotCheck(std::move(transport), SystemClock(), std::move(token), generation,
                  [mainWindow](BotCheckResult result) {
                      auto record = std::make_unique<BotCheckResultRecord>();
                      record->result = std::move(result);
                      PostRecord(mainWindow, kBotCheckResultMessage, std::move(record));
                  });
}

void StartTestSendForWindow(HWND mainWindow, NotificationProviderFactory factory,
                            std::wstring token, std::vector<std::wstring> chatIds,
                            std::vector<RecipientTopic> topics) {
    StartTestSend(std::move(factory), std::move(token), std::move(chatIds), std::move(topics),
                  [mainWindow](TestSendResult result) {
                      auto record = std::make_unique<TestSendResultRecord>();
                      record->result = result;
                      PostRecord(mainWindow, kTestSendResultMessage, std::move(record));
                  });
}

void StartVerificationForWindow(HWND dialog, HWND mainWindow, HttpTransport transport,
                                const Clock& clock, VerificationRequest request,
                                CancelFlag cancelled) {
    StartVerification(
        std::move(transport), clock, std::move(request), std::move(cancelled),
        [mainWindow](std::vector<std::wstring> lines) {
            auto record = std::make_unique<LogLinesRecord>();
            record->lines = std::move(lines);
            PostRecord(mainWindow, kWorkerLogLinesMessage, std::move(record));
        },
        [dialog](VerificationResult result) {
            auto record = std::make_unique<VerificationResultRecord>();
            record->result = std::move(result);
            PostRecord(dialog, kVerificationResultMessage, std::move(record));
        });
}

}  // namespace wrenpost

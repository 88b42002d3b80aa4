// Wiring of the monitor engine to Outlook and Telegram.
#include "monitor/MonitorDependencies_win.h"

#include <memory>

#include "app/CrashReporter_win.h"
#include "common/HttpCancellation.h"
#include "monitor/KeepAwake.h"
#include "outlook/MailReader.h"
#include "outlook/MailWatcher_win.h"
#include "telegram/TelegramProvider.h"
#include "telegram/WinHttpTransport_win.h"

namespace wrenpost {

MonitorDependencies WindowsMonitorDependencies(LogFunction log) {
    MonitorDependencies deps;
    // Shared by every send of the engine, so a stop can close the request in flight.
    auto cancellation = std::make_shared<HttpCancellation>();
    deps.ReadFolders = [](const MailReadRequest& request) { return ReadWatchedFolders(request); };
    deps.ReadDetails = [](const MailDetailsRequest& request) { return ReadMailDetails(request); };
    deps.MakeProvider = [log = std::move(log), cancellation](
                            const std::wstring& botToken,
                            const std::wstring& chatId) -> std::unique_ptr<NotificationProvider> {
        HttpTransport transport = [cancellation,
                                   inner = TelegramTransport(log)](const HttpRequest& request) {
            HttpRequest cancellable = request;
            cancellable.cancellation = cancellation;
            return inner(cancellable);
        };
        return std::make_unique<TelegramProvider>(botToken, chatId, std::move(transport));
    };
    deps.CancelSends = [cancellation](bool stop) {
        stop ? cancellation->Cancel() : cancellation->Reset();
    };
    deps.WatchMail = [](std::function<void()> wake, std::function<void(const std::wstring&)> log) {
        // The first thing the monitor worker does.
        CrashHereForTesting(CrashTestPoint::MonitorWorker);
        return StartOutlookMailWatch(std::move(wake), std::move(log));
    };
    deps.KeepAwake = RequestKeepAwake;
    return deps;
}

}  // namespace wrenpost

// Wiring of the monitor engine to Outlook and Telegram.
#include "monitor/MonitorDependencies_win.h"

#include <memory>

#include "monitor/KeepAwake.h"
#include "outlook/MailReader.h"
#include "telegram/TelegramProvider.h"
#include "telegram/WinHttpTransport_win.h"

namespace wrenpost {

MonitorDependencies WindowsMonitorDependencies(LogFunction log) {
    MonitorDependencies deps;
    deps.ReadFolders = [](const std::vector<SelectedFolder>& folders, std::int32_t limit,
                          bool includeOld, std::vector<MailSnapshot>& messages) {
        return ReadWatchedFolders(folders, limit, includeOld, messages);
    };
    deps.MakeProvider = [log = std::move(log)](
                            const std::wstring& botToken,
                            const std::wstring& chatId) -> std::unique_ptr<NotificationProvider> {
        return std::make_unique<TelegramProvider>(botToken, chatId, TelegramTransport(log));
    };
    deps.KeepAwake = RequestKeepAwake;
    return deps;
}

}  // namespace wrenpost

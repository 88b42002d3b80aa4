#include "ui/vault/VaultWorker_win.h"

#include <memory>
#include <utility>

#include "common/WindowWorker_win.h"

namespace wrenpost {

void StartVaultBotInfo(HWND window, HttpTransport transport, std::wstring token,
                       std::wstring entryId, bool bulk) {
    auto record = [entryId, bulk](BotInfo info) {
        auto posted = std::make_unique<VaultBotInfoRecord>();
        posted->entryId = entryId;
        posted->bulk = bulk;
        posted->info = std::move(info);
        return posted;
    };
    WindowWorker worker;
    worker.window = window;
    worker.message = kVaultBotInfoMessage;
    worker.work = [record, transport = std::move(transport), token = std::move(token)] {
        return std::unique_ptr<PostedRecord>(record(GetBotInfo(transport, token)));
    };
    worker.failure = [record](const std::wstring& reason) {
        BotInfo failed;
        failed.errorText = reason;
        failed.kind = kBotCheckOtherFailure;
        return std::unique_ptr<PostedRecord>(record(std::move(failed)));
    };
    LaunchWindowWorker(std::move(worker));
}

}  // namespace wrenpost

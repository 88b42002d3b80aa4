#include "common/WindowWorker_win.h"

#include "common/WorkerLauncher.h"

namespace wrenpost {
namespace {

void Deliver(const WindowWorker& worker, std::unique_ptr<PostedRecord> record) {
    if (!record || !PostRecord(worker.window, worker.message, std::move(record))) {
        if (worker.undelivered) {
            worker.undelivered();
        }
    }
}

}  // namespace

bool LaunchWindowWorker(WindowWorker worker) noexcept {
    std::shared_ptr<const WindowWorker> shared;
    try {
        shared = std::make_shared<const WindowWorker>(std::move(worker));
    } catch (...) {
        return false;
    }
    return LaunchWorker(
        [shared] { Deliver(*shared, shared->work()); },
        [shared](const std::wstring& reason) { Deliver(*shared, shared->failure(reason)); });
}

}  // namespace wrenpost

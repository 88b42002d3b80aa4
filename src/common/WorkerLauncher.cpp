#include "common/WorkerLauncher.h"

#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "common/Text.h"

namespace wrenpost {
namespace {

std::mutex creatorMutex;
ThreadCreator creatorOverride;

ThreadCreator CurrentCreator() {
    std::lock_guard lock(creatorMutex);
    return creatorOverride;
}

std::wstring DescribeCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        return Utf8ToWide(error.what());
    } catch (...) {
        return L"unknown error";
    }
}

void ReportFailure(const WorkerFailure& failed, const std::wstring& reason) noexcept {
    if (!failed) {
        return;
    }
    try {
        failed(reason);
    } catch (...) {
        // The failure report itself failed (no memory): nothing is left to tell.
    }
}

}  // namespace

bool LaunchWorker(std::function<void()> work, WorkerFailure failed) noexcept {
    std::wstring reason;
    try {
        // The failure handler is shared: creation may fail after the body was handed over.
        auto failure = std::make_shared<WorkerFailure>(std::move(failed));
        std::function<void()> body = [work = std::move(work), failure]() noexcept {
            try {
                work();
            } catch (...) {
                ReportFailure(*failure, L"the worker failed: " + DescribeCurrentException());
            }
        };
        const ThreadCreator creator = CurrentCreator();
        bool created = false;
        try {
            if (creator) {
                created = creator(std::move(body));
            } else {
                std::thread(std::move(body)).detach();
                created = true;
            }
        } catch (...) {
            reason = L"the worker thread could not be started: " + DescribeCurrentException();
        }
        if (created) {
            return true;
        }
        if (reason.empty()) {
            reason = L"the worker thread could not be started";
        }
        ReportFailure(*failure, reason);
    } catch (...) {
        // Allocating the body failed before any thread existed; `failed` may be gone with it.
    }
    return false;
}

ScopedThreadCreator::ScopedThreadCreator(ThreadCreator creator) {
    std::lock_guard lock(creatorMutex);
    previous_ = std::exchange(creatorOverride, std::move(creator));
}

ScopedThreadCreator::~ScopedThreadCreator() {
    std::lock_guard lock(creatorMutex);
    creatorOverride = std::move(previous_);
}

}  // namespace wrenpost

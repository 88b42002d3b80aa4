// A SAVE made from another thread, as the window makes it, that tells whether it had to wait for
// the profile file's lock. The constructor returns once the save has finished or is waiting.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "profile/ConfigFileLock.h"
#include "profile/ProfileConfig.h"

namespace wrenpost::testing {

class WindowSave {
public:
    WindowSave(const std::filesystem::path& path, const ProfileConfig& config) {
        SetConfigFileLockWaitHookForTesting([s = s_](const std::wstring&) { s->Mark(s->waited); });
        thread_ = std::thread([s = s_, path, config] {
            s->saved = SaveProfileConfig(path, config);
            s->Mark(s->done);
        });
        std::unique_lock lock(s_->mutex);
        s_->changed.wait(lock, [this] { return s_->done || s_->waited; });
        Waited = s_->waited;
    }
    // A waiting save finishes on its own: this thread may hold the lock it waits for.
    ~WindowSave() {
        SetConfigFileLockWaitHookForTesting(nullptr);
        if (thread_.joinable()) {
            Waited ? thread_.detach() : thread_.join();
        }
    }
    bool Saved() {  // waits for the save to finish
        thread_.join();
        return s_->saved;
    }
    bool Waited = false;

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false, waited = false, saved = false;
        void Mark(bool& flag) {
            std::lock_guard lock(mutex);
            flag = true;
            changed.notify_all();
        }
    };
    std::shared_ptr<State> s_ = std::make_shared<State>();
    std::thread thread_;
};

}  // namespace wrenpost::testing

// Test doubles for driving the monitor engine: a stepping clock, a scripted folder reader that
// can hang, a recording notification channel, a log recorder and a profile on disk.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/Clock.h"
#include "monitor/MonitorEngine.h"
#include "outlook/MailSnapshot.h"
#include "profile/ProfileConfig.h"
#include "telegram/NotificationProvider.h"

namespace wrenpost::testing {

// Fake wall and monotonic time. Each sleep moves both by the requested amount and yields a
// millisecond of real time, so a reading thread gets to run while the engine polls.
class SteppingClock final : public Clock {
public:
    explicit SteppingClock(std::int64_t unixSeconds = 1767225600)
        : wall_(std::chrono::duration_cast<std::chrono::system_clock::duration>(
                    std::chrono::seconds(unixSeconds))
                    .count()) {}

    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::time_point(
            std::chrono::system_clock::duration(wall_.load()));
    }
    std::chrono::steady_clock::time_point SteadyNow() const override {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(steady_.load()));
    }
    void SleepFor(std::chrono::milliseconds duration) const override {
        std::function<void()> hook;
        {
            std::lock_guard lock(hookMutex_);
            hook = std::exchange(onNextSleep_, nullptr);
        }
        if (hook) {
            hook();
        }
        Advance(duration);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Runs once, at the start of the next sleep.
    void OnNextSleep(std::function<void()> hook) {
        std::lock_guard lock(hookMutex_);
        onNextSleep_ = std::move(hook);
    }
    void Advance(std::chrono::nanoseconds by) const {
        wall_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(by).count();
        steady_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(by).count();
    }
    // 100 ns ticks since 1970 of the current fake wall time.
    std::int64_t NowTicks() const;

private:
    mutable std::atomic<std::chrono::system_clock::rep> wall_;
    mutable std::atomic<std::chrono::steady_clock::rep> steady_{0};
    mutable std::mutex hookMutex_;
    mutable std::function<void()> onNextSleep_;
};

// What one call of the reader returns; `Hang` blocks it until ReleaseHang.
struct ReadStep {
    bool Ok = true;
    std::vector<MailSnapshot> Messages;
    bool Hang = false;
    bool Throw = false;
};

// The folder reader seam. Steps are consumed one per call; when none is left the last one is
// repeated. Its state is shared with every reading thread, so a thread left hanging by the
// engine stays valid after the test's other objects are gone.
class ScriptedReader {
public:
    struct Call {
        std::vector<SelectedFolder> Folders;
        std::int32_t Limit = 0;
        bool IncludeOld = false;
        std::chrono::steady_clock::time_point At;
    };

    explicit ScriptedReader(const Clock* clock = nullptr);
    ~ScriptedReader();  // releases any hang and waits for the reading threads to leave

    void Push(ReadStep step);
    void PushMessages(std::vector<MailSnapshot> messages);
    void ReleaseHang();
    // Waits (really) until `count` calls have started.
    bool WaitForCalls(std::size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(20));
    std::vector<Call> Calls() const;
    std::size_t CallCount() const;
    bool WaitUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(20));

    FolderReader AsReader();

private:
    struct State;
    std::shared_ptr<State> state_;
};

struct SentMessage {
    std::wstring BotToken;
    std::wstring ChatId;
    std::wstring Title;
    std::wstring Body;
};

// The provider factory seam: records every send; chats listed as failing answer a failed
// SendResult with the reason.
class RecordingChannel {
public:
    void FailFor(const std::wstring& chatId, std::wstring reason = L"HTTP 502");
    void SucceedFor(const std::wstring& chatId);
    std::vector<SentMessage> Sent() const;  // successful sends only
    std::size_t Attempts() const;
    void OnSend(std::function<void()> hook);  // runs inside every Send
    ProviderFactory AsFactory();

private:
    struct State;
    std::shared_ptr<State> state_ = MakeState();
    static std::shared_ptr<State> MakeState();
};

class LogRecorder {
public:
    MonitorLogCallback AsCallback();
    std::vector<std::wstring> Lines() const;
    std::size_t Count(const std::wstring& line) const;  // exact matches
    std::size_t CountStartingWith(const std::wstring& prefix) const;
    bool Contains(const std::wstring& line) const { return Count(line) > 0; }
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

struct StatusReport {
    std::wstring LastCheck;
    std::int32_t MessagesSent = 0;
    std::int32_t QueueCount = 0;
    std::wstring Status;
};

class StatusRecorder {
public:
    MonitorStatusCallback AsCallback();
    std::vector<StatusReport> Reports() const;

private:
    mutable std::mutex mutex_;
    std::vector<StatusReport> reports_;
};

// Snapshot helpers: a message delivered `offsetTicks` after (or before) the session start.
MailSnapshot Message(const std::wstring& folder, const std::wstring& subject,
                     std::int64_t deliveryTicks, const std::wstring& internetId = L"");
MailSnapshot UnknownTimeMessage(const std::wstring& folder, const std::wstring& subject,
                                const std::wstring& internetId = L"");

SelectedFolder Folder(const std::wstring& path);
RecipientEntry Recipient(const std::wstring& chatId, bool allowed = true);

// Writes <name>Config.json into the folder.
void WriteConfig(const std::filesystem::path& folder, const std::wstring& name,
                 const ProfileConfig& config);
ProfileConfig ReadConfig(const std::filesystem::path& folder, const std::wstring& name);

}  // namespace wrenpost::testing

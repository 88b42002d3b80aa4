// Test doubles for the monitor engine (a scripted folder reader with its thread launcher, a
// recording channel) and a fixture wiring them to an engine with a saved profile "Work".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>

#include "common/JsonText.h"
#include "common/TextFile.h"
#include "monitor/MonitorEngine.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

namespace wrenpost::testing {

inline constexpr std::int64_t kTicksPerSecond = 10000000;
inline const std::wstring kInbox = L"\\\\Mailbox\\Inbox";
inline const std::wstring kArchive = L"\\\\Mailbox\\Archive";

// A message delivered at `ticks` (undated at 0), identified by store and entry id by default.
inline MailSnapshot Mail(const std::wstring& folder, const std::wstring& subject,
                         std::int64_t ticks, const std::wstring& internetId = L"") {
    const bool dated = ticks != 0;
    MailSnapshot m;
    m.FolderPath = folder;
    m.Subject = subject;
    m.EntryId = L"ENTRY-" + subject;
    m.StoreId = L"STORE-1";
    m.InternetMessageId = internetId;
    m.DeliveryTimeUtc = ticks;
    m.DeliveryTimeKnown = dated;
    m.TimestampSource = dated ? MapiDeliveryTime : UnknownTimestampSource;
    m.DeliveryDiagnostics = L"MapiDeliveryTime vt=10";
    return m;
}

struct ReadStep {
    bool Ok = true;
    std::vector<MailSnapshot> Messages;
    bool Hang = false;  // blocks until Release
    bool Throw = false;
    std::wstring Unavailable{};
};

// The folder reader seam: one step per call, the last one repeats. Its launcher returns a reading
// thread only once it has ended or hangs, so the fake clock's polling never outruns a read.
class ScriptedReader {
public:
    ~ScriptedReader() { Release(); }
    void Push(ReadStep step) {
        std::lock_guard lock(s_->mutex);
        s_->steps.push_back(std::move(step));
    }
    void Push(std::vector<MailSnapshot> messages) { Push(ReadStep{true, std::move(messages)}); }
    void PushHang() { Push(ReadStep{true, {}, true}); }
    // Lets hung reads return and waits until every thread the launcher started has ended.
    void Release() {
        s_->released = true;
        s_->Wait([&] { return s_->running == 0; });
    }
    void WaitForCalls(std::size_t count) {
        s_->Wait([&] { return s_->calls.size() >= count; });
    }
    std::vector<MailReadRequest> Calls() const {
        std::lock_guard lock(s_->mutex);
        return s_->calls;
    }

    FolderReader Reader() {
        return [s = s_](const MailReadRequest& request) {
            std::unique_lock lock(s->mutex);
            s->calls.push_back(request);
            if (!s->steps.empty()) {
                s->last = std::move(s->steps.front());
                s->steps.pop_front();
            }
            const ReadStep step = s->last;
            s->hung += step.Hang;
            s->changed.notify_all();
            s->changed.wait(lock, [&] { return !step.Hang || s->released; });
            if (step.Throw) {
                throw std::runtime_error("Outlook went away");
            }
            return MailReadResult{step.Ok, step.Messages, {}, false, step.Unavailable};
        };
    }
    // With `firstIsWorker`, the first launch is the session's worker and is not waited for.
    ThreadLauncher Launcher(bool firstIsWorker) {
        return [s = s_, worker = firstIsWorker](std::function<void()> body) mutable {
            if (std::exchange(worker, false)) {
                return std::thread(std::move(body));
            }
            auto ended = std::make_shared<bool>(false);
            const int hungBefore = s->hung;
            ++s->running;
            std::thread thread([s, ended, body = std::move(body)] {
                body();
                std::lock_guard lock(s->mutex);
                *ended = true;
                --s->running;
                s->changed.notify_all();
            });
            s->Wait([&] { return *ended || s->hung > hungBefore; });
            return thread;
        };
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<ReadStep> steps;
        ReadStep last;
        std::atomic<bool> released = false;
        std::atomic<int> hung = 0, running = 0;
        std::vector<MailReadRequest> calls;
        template <typename Until>
        void Wait(Until until) {
            std::unique_lock lock(mutex);
            changed.notify_all();
            changed.wait(lock, until);
        }
    };
    std::shared_ptr<State> s_ = std::make_shared<State>();
};

struct SentMessage {
    std::wstring BotToken, ChatId, Title, Body;
    SendOptions Options;
};

// A provider that hands every send to a function.
struct CallbackProvider final : NotificationProvider {
    std::function<SendResult(const std::wstring& title, const std::wstring& body,
                             const SendOptions& options)>
        send;
    using NotificationProvider::Send;
    SendResult Send(const std::wstring& title, const std::wstring& body,
                    const SendOptions& options) override {
        return send(title, body, options);
    }
    std::wstring Name() const override { return L"Callback"; }
};

struct StatusReport {
    std::int32_t Sent = 0, Queued = 0, Waiting = 0;
    std::wstring Status;
};

// No rate limits, and the real back-off of a chat that failed for now.
inline PacingLimits Unpaced() {
    PacingLimits limits;
    limits.PerChatGap = limits.GroupWindow = limits.BotWindow = std::chrono::milliseconds(0);
    limits.GroupMessagesPerWindow = limits.BotMessagesPerWindow = 0;
    return limits;
}

inline RecipientEntry Recipient(const std::wstring& chatId, bool allowed = true) {
    return {chatId, L"Chat " + chatId, allowed, L"2025-12-01 10:00:00", L"Never"};
}

class MonitorEngineTest : public ::testing::Test {
protected:
    MonitorEngineTest() {
        profile.ProfileName = L"Work";
        profile.SelectedFolders = {{L"Inbox", kInbox, L"E1", L"STORE-1", L"Mailbox", L"", 0}};
        profile.Recipients = {Recipient(L"100")};
        WriteProfile();
    }

    std::filesystem::path ConfigPath() const { return dir / L"WorkConfig.json"; }
    void WriteProfile() { ASSERT_TRUE(SaveProfileConfig(ConfigPath(), profile)); }

    // Records every chat asked and successful sends; a chat's `firstAnswer` is its first reply,
    // `failing` chats answer 502; `onSend` runs once, in the next send.
    ProviderFactory Channel() {
        return [this](const std::wstring& token, const std::wstring& chatId) {
            auto provider = std::make_unique<CallbackProvider>();
            provider->send = [=, this](const std::wstring& title, const std::wstring& body,
                                       const SendOptions& options) {
                if (auto hook = std::exchange(onSend, nullptr)) {
                    hook();
                }
                asked.push_back(chatId);
                if (const auto first = firstAnswer.find(chatId); first != firstAnswer.end()) {
                    const SendResult answer = first->second;
                    firstAnswer.erase(first);
                    return answer;
                }
                if (std::count(failing.begin(), failing.end(), chatId) > 0 ||
                    (deliverAtMost && sent.size() >= *deliverAtMost)) {
                    return SendResult{false, L"HTTP 502", 502, 0};
                }
                sent.push_back({token, chatId, title, body, options});
                return SendResult{true, {}, 200, 0};
            };
            return provider;
        };
    }
    MonitorDependencies Dependencies(bool runWorker = false) {
        MonitorDependencies deps;
        deps.ReadFolders = reader.Reader();
        deps.MakeProvider = Channel();
        deps.TimeSource = &clock;
        deps.KeepAwake = [this](bool on) { keepAwake.push_back(on); };
        deps.LaunchThread = reader.Launcher(runWorker);
        deps.RunWorker = runWorker;
        deps.Pacing = Unpaced();
        return deps;
    }
    MonitorSession Session(std::int32_t interval = 600, bool includeOld = false) {
        return {L"Work",
                dir.Path(),
                L"123:TOKEN",
                interval,
                includeOld,
                [this](auto& line) { lines.push_back(line); },
                [this](const MonitorProgress& p) {
                    last = {p.MessagesSent, p.QueueCount, p.Waiting, p.Status};
                },
                [this](auto& chatId, auto& when) { notified.emplace_back(chatId, when); }};
    }
    // A session driven cycle by cycle; its cutoff is the clock's time now.
    void StartManual(std::int32_t interval = 600, bool includeOld = false) {
        if (!engine) {
            engine = std::make_unique<MonitorEngine>(Dependencies());
        }
        start = ToTicksSince1970(clock.Now());
        ASSERT_TRUE(engine->Start(Session(interval, includeOld)));
    }
    MonitorCycleResult Cycle() { return engine->RunCycle(); }
    MailSnapshot Fresh(const std::wstring& subject, const std::wstring& folder = kInbox) {
        return Mail(folder, subject, start + kTicksPerSecond, L"<" + subject + L"@x>");
    }

    // Log lines starting with `prefix`.
    std::size_t Logged(const std::wstring& prefix) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](auto& l) { return l.rfind(prefix, 0) == 0; });
    }
    std::wstring StatusFileField(const std::wstring& key) {
        std::wstring text;
        EXPECT_TRUE(ReadTextFile(dir / L"WorkMonitor.json", text));
        return ReadJsonStringField(text, key);
    }

    TempDir dir;
    FakeClock clock;
    ScriptedReader reader;
    std::vector<std::wstring> failing;         // set while no cycle runs
    std::optional<std::size_t> deliverAtMost;  // then every send answers 502
    std::map<std::wstring, SendResult> firstAnswer;
    std::function<void()> onSend;
    ProfileConfig profile;
    std::int64_t start = 0;
    // Written by the cycle, read by the test only while no worker runs.
    std::vector<std::wstring> lines;
    StatusReport last;  // the last cycle's report to the window
    std::vector<std::pair<std::wstring, std::wstring>> notified;
    std::vector<bool> keepAwake;
    std::vector<SentMessage> sent;
    std::vector<std::wstring> asked;
    std::unique_ptr<MonitorEngine> engine;  // last: stopped before the doubles go away
};

}  // namespace wrenpost::testing

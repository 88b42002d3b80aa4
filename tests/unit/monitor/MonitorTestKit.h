// Test doubles for the monitor engine and a fixture wiring them to an engine with a saved
// profile "Work": a scripted folder reader with its thread launcher, a recording channel and the
// recorded callbacks.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
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

// A message delivered at `ticks` (or undated); without an internet id it is identified by store
// and entry id.
inline MailSnapshot Mail(const std::wstring& folder, const std::wstring& subject,
                         std::int64_t ticks, const std::wstring& internetId = L"",
                         bool dated = true) {
    MailSnapshot m;
    m.FolderPath = folder;
    m.Subject = subject;
    m.SenderName = L"Ada Sender";
    m.ReceivedTime = L"2026-01-01 09:00:00";
    m.EntryId = L"ENTRY-" + subject;
    m.StoreId = L"STORE-1";
    m.InternetMessageId = internetId;
    m.DeliveryTimeUtc = dated ? ticks : 0;
    m.DeliveryTimeKnown = dated;
    m.TimestampSource = dated ? MapiDeliveryTime : UnknownTimestampSource;
    m.DeliveryDiagnostics = dated ? L"" : L"MapiDeliveryTime vt=10; ReceivedTime vt=10";
    return m;
}

struct ReadStep {
    bool Ok = true;
    std::vector<MailSnapshot> Messages;
    bool Hang = false;  // blocks until Release
    bool Throw = false;
};

// The folder reader seam: one step per call, the last one repeats. Its launcher returns a
// reading thread only once the thread has ended or hangs, so the fake clock's instant polling
// never outruns a read. The state is shared with the threads, which may outlive the test.
class ScriptedReader {
public:
    struct Call {
        std::vector<SelectedFolder> Folders;
        std::int32_t Limit = 0;
        bool IncludeOld = false;
    };

    ~ScriptedReader() { Release(); }
    void Push(ReadStep step) {
        std::lock_guard lock(s_->mutex);
        s_->steps.push_back(std::move(step));
    }
    void Push(std::vector<MailSnapshot> messages) {
        Push(ReadStep{!messages.empty(), std::move(messages)});
    }
    void PushHang() { Push(ReadStep{true, {}, true}); }
    // Lets hung reads return and waits until every thread the launcher started has ended.
    void Release() {
        std::unique_lock lock(s_->mutex);
        s_->released = true;
        s_->changed.notify_all();
        s_->changed.wait(lock, [this] { return s_->running == 0 && s_->inReader == 0; });
    }
    void WaitForCalls(std::size_t count) {
        std::unique_lock lock(s_->mutex);
        s_->changed.wait(lock, [&] { return s_->calls.size() >= count; });
    }
    std::vector<Call> Calls() const {
        std::lock_guard lock(s_->mutex);
        return s_->calls;
    }

    FolderReader Reader() {
        return [s = s_](const std::vector<SelectedFolder>& folders, std::int32_t limit,
                        bool includeOld, std::vector<MailSnapshot>& out) {
            std::unique_lock lock(s->mutex);
            s->calls.push_back({folders, limit, includeOld});
            if (!s->steps.empty()) {
                s->last = std::move(s->steps.front());
                s->steps.pop_front();
            }
            const ReadStep step = s->last;
            ++s->inReader;
            if (step.Hang) {
                ++s->hung;
                s->changed.notify_all();
                s->changed.wait(lock, [&] { return s->released; });
            }
            --s->inReader;
            s->changed.notify_all();
            if (step.Throw) {
                throw std::runtime_error("Outlook went away");
            }
            out = step.Messages;
            return step.Ok;
        };
    }
    // With `firstIsWorker`, the first launch is the session's worker and is not waited for.
    ThreadLauncher Launcher(bool firstIsWorker) {
        return [s = s_, worker = firstIsWorker](std::function<void()> body) mutable {
            if (std::exchange(worker, false)) {
                return std::thread(std::move(body));
            }
            auto ended = std::make_shared<bool>(false);
            std::unique_lock lock(s->mutex);
            const int hungBefore = s->hung;
            ++s->running;
            std::thread thread([s, ended, body = std::move(body)] {
                body();
                std::lock_guard endLock(s->mutex);
                *ended = true;
                --s->running;
                s->changed.notify_all();
            });
            s->changed.wait(lock, [&] { return *ended || s->hung > hungBefore; });
            return thread;
        };
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<ReadStep> steps;
        ReadStep last;
        bool released = false;
        int hung = 0, running = 0, inReader = 0;
        std::vector<Call> calls;
    };
    std::shared_ptr<State> s_ = std::make_shared<State>();
};

struct SentMessage {
    std::wstring BotToken, ChatId, Title, Body;
};

// The provider factory seam: records successful sends; chats set to fail answer "HTTP 502".
class RecordingChannel {
public:
    void Fail(std::vector<std::wstring> chatIds) {
        std::lock_guard lock(s_->mutex);
        s_->failing = std::move(chatIds);
    }
    void OnSend(std::function<void()> hook) {  // runs once, inside the next Send
        std::lock_guard lock(s_->mutex);
        s_->hook = std::move(hook);
    }
    std::vector<SentMessage> Sent() const {
        std::lock_guard lock(s_->mutex);
        return s_->sent;
    }
    ProviderFactory Factory() {
        return [s = s_](const std::wstring& token, const std::wstring& chatId) {
            return std::make_unique<Provider>(s, SentMessage{token, chatId, L"", L""});
        };
    }

private:
    struct State {
        mutable std::mutex mutex;
        std::vector<SentMessage> sent;
        std::vector<std::wstring> failing;
        std::function<void()> hook;
    };
    class Provider final : public NotificationProvider {
    public:
        Provider(std::shared_ptr<State> s, SentMessage to) : s_(std::move(s)), to_(to) {}
        SendResult Send(const std::wstring& title, const std::wstring& body) override {
            std::unique_lock lock(s_->mutex);
            if (auto hook = std::exchange(s_->hook, nullptr)) {
                lock.unlock();  // runs once, on the sending thread, outside the lock
                hook();
                lock.lock();
            }
            if (std::count(s_->failing.begin(), s_->failing.end(), to_.ChatId) > 0) {
                return SendResult{false, L"HTTP 502", 502, 0};
            }
            s_->sent.push_back({to_.BotToken, to_.ChatId, title, body});
            return SendResult{true, {}, 200, 0};
        }
        std::wstring Name() const override { return L"Recording"; }

    private:
        std::shared_ptr<State> s_;
        SentMessage to_;
    };
    std::shared_ptr<State> s_ = std::make_shared<State>();
};

struct StatusReport {
    std::wstring LastCheck;
    std::int32_t Sent = 0, Queued = 0;
    std::wstring Status;
};

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
    ProfileConfig SavedProfile() const {
        std::wstring text;
        EXPECT_TRUE(ReadTextFile(ConfigPath(), text));
        return ParseProfileConfig(text);
    }

    MonitorDependencies Dependencies(bool runWorker = false) {
        MonitorDependencies deps{reader.Reader(),
                                 channel.Factory(),
                                 &clock,
                                 [this](bool on) { Record(keepAwake, on); },
                                 reader.Launcher(runWorker),
                                 runWorker};
        return deps;
    }
    MonitorSession Session(std::int32_t interval = 600, bool includeOld = false) {
        return {L"Work",
                dir.Path(),
                L"123:TOKEN",
                interval,
                includeOld,
                [this](const std::wstring& line) { Record(lines, line); },
                [this](const std::wstring& at, std::int32_t sent, std::int32_t queued,
                       const std::wstring& status) {
                    Record(reports, StatusReport{at, sent, queued, status});
                },
                [this](const std::wstring& chatId, const std::wstring& when) {
                    Record(notified, std::pair{chatId, when});
                }};
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

    template <typename T, typename V>
    void Record(std::vector<T>& into, V value) {
        std::lock_guard lock(mutex);
        into.push_back(std::move(value));
    }
    template <typename T>
    std::vector<T> Copy(const std::vector<T>& of) {
        std::lock_guard lock(mutex);
        return of;
    }
    std::size_t Logged(const std::wstring& line, bool prefix = false) {
        const auto all = Copy(lines);
        return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](auto& l) {
            return prefix ? l.rfind(line, 0) == 0 : l == line;
        }));
    }
    std::wstring LastLine() { return Copy(lines).back(); }
    StatusReport LastReport() { return Copy(reports).back(); }
    std::wstring StatusFileText() {
        std::wstring text;
        return ReadTextFile(dir / L"WorkMonitor.json", text) ? text : L"<missing>";
    }
    std::wstring StatusFileField(const std::wstring& key) {
        return ReadJsonStringField(StatusFileText(), key);
    }

    TempDir dir;
    FakeClock clock;
    ScriptedReader reader;
    RecordingChannel channel;
    ProfileConfig profile;
    std::int64_t start = 0;
    std::mutex mutex;
    std::vector<std::wstring> lines;
    std::vector<StatusReport> reports;
    std::vector<std::pair<std::wstring, std::wstring>> notified;
    std::vector<bool> keepAwake;
    std::unique_ptr<MonitorEngine> engine;  // last: stopped before the doubles go away
};

}  // namespace wrenpost::testing

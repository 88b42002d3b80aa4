// Test doubles for the monitor engine.
#include "MonitorTestKit.h"

#include <algorithm>
#include <stdexcept>

#include "monitor/MonitorAdmission.h"

namespace wrenpost::testing {

std::int64_t SteppingClock::NowTicks() const {
    return ToTicksSince1970(Now());
}

// ---------------------------------------------------------------- reader

struct ScriptedReader::State {
    const Clock* clock = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ReadStep> steps;
    ReadStep last;
    bool released = false;
    int active = 0;
    std::vector<Call> calls;
};

ScriptedReader::ScriptedReader(const Clock* clock) : state_(std::make_shared<State>()) {
    state_->clock = clock;
}

ScriptedReader::~ScriptedReader() {
    ReleaseHang();
    (void)WaitUntilIdle();
}

void ScriptedReader::Push(ReadStep step) {
    std::lock_guard lock(state_->mutex);
    state_->steps.push_back(std::move(step));
}

void ScriptedReader::PushMessages(std::vector<MailSnapshot> messages) {
    ReadStep step;
    step.Ok = !messages.empty();
    step.Messages = std::move(messages);
    Push(std::move(step));
}

void ScriptedReader::ReleaseHang() {
    std::lock_guard lock(state_->mutex);
    state_->released = true;
    state_->changed.notify_all();
}

bool ScriptedReader::WaitForCalls(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [&] { return state_->calls.size() >= count; });
}

bool ScriptedReader::WaitUntilIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [&] { return state_->active == 0; });
}

std::vector<ScriptedReader::Call> ScriptedReader::Calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

std::size_t ScriptedReader::CallCount() const {
    return Calls().size();
}

FolderReader ScriptedReader::AsReader() {
    std::shared_ptr<State> state = state_;
    return [state](const std::vector<SelectedFolder>& folders, std::int32_t limit, bool includeOld,
                   std::vector<MailSnapshot>& messages) {
        ReadStep step;
        {
            std::unique_lock lock(state->mutex);
            ++state->active;
            state->calls.push_back(
                {folders, limit, includeOld,
                 state->clock ? state->clock->SteadyNow() : std::chrono::steady_clock::now()});
            if (!state->steps.empty()) {
                state->last = std::move(state->steps.front());
                state->steps.pop_front();
            }
            step = state->last;
            state->changed.notify_all();
            if (step.Hang) {
                state->changed.wait(lock, [&] { return state->released; });
            }
        }
        struct Leave {
            State& s;
            ~Leave() {
                std::lock_guard lock(s.mutex);
                --s.active;
                s.changed.notify_all();
            }
        } leave{*state};
        if (step.Throw) {
            throw std::runtime_error("Outlook went away");
        }
        messages = step.Messages;
        return step.Ok;
    };
}

// ---------------------------------------------------------------- channel

struct RecordingChannel::State {
    std::mutex mutex;
    std::vector<SentMessage> sent;
    std::size_t attempts = 0;
    std::vector<std::pair<std::wstring, std::wstring>> failing;
    std::function<void()> hook;
};

std::shared_ptr<RecordingChannel::State> RecordingChannel::MakeState() {
    return std::make_shared<State>();
}

void RecordingChannel::FailFor(const std::wstring& chatId, std::wstring reason) {
    std::lock_guard lock(state_->mutex);
    state_->failing.emplace_back(chatId, std::move(reason));
}

void RecordingChannel::SucceedFor(const std::wstring& chatId) {
    std::lock_guard lock(state_->mutex);
    auto& failing = state_->failing;
    failing.erase(std::remove_if(failing.begin(), failing.end(),
                                 [&](const auto& entry) { return entry.first == chatId; }),
                  failing.end());
}

std::vector<SentMessage> RecordingChannel::Sent() const {
    std::lock_guard lock(state_->mutex);
    return state_->sent;
}

std::size_t RecordingChannel::Attempts() const {
    std::lock_guard lock(state_->mutex);
    return state_->attempts;
}

void RecordingChannel::OnSend(std::function<void()> hook) {
    std::lock_guard lock(state_->mutex);
    state_->hook = std::move(hook);
}

namespace {

class RecordingProvider final : public NotificationProvider {
public:
    RecordingProvider(std::shared_ptr<void> keep, std::function<SendResult(SentMessage)> send,
                      std::wstring token, std::wstring chatId)
        : keep_(std::move(keep)),
          send_(std::move(send)),
          token_(std::move(token)),
          chatId_(std::move(chatId)) {}
    SendResult Send(const std::wstring& title, const std::wstring& body) override {
        return send_({token_, chatId_, title, body});
    }
    std::wstring Name() const override { return L"Recording"; }

private:
    std::shared_ptr<void> keep_;
    std::function<SendResult(SentMessage)> send_;
    std::wstring token_;
    std::wstring chatId_;
};

}  // namespace

ProviderFactory RecordingChannel::AsFactory() {
    std::shared_ptr<State> state = state_;
    auto send = [state](SentMessage message) {
        std::function<void()> hook;
        {
            std::lock_guard lock(state->mutex);
            hook = state->hook;
        }
        if (hook) {
            hook();
        }
        std::lock_guard lock(state->mutex);
        ++state->attempts;
        for (const auto& [chatId, reason] : state->failing) {
            if (chatId == message.ChatId) {
                return SendResult{false, reason, 0, 0};
            }
        }
        state->sent.push_back(std::move(message));
        return SendResult{true, {}, 200, 0};
    };
    return [state, send](const std::wstring& token, const std::wstring& chatId) {
        return std::make_unique<RecordingProvider>(state, send, token, chatId);
    };
}

// ---------------------------------------------------------------- log and status

MonitorLogCallback LogRecorder::AsCallback() {
    return [this](const std::wstring& line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    };
}

std::vector<std::wstring> LogRecorder::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t LogRecorder::Count(const std::wstring& line) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count(lines_.begin(), lines_.end(), line));
}

std::size_t LogRecorder::CountStartingWith(const std::wstring& prefix) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), [&](const auto& l) {
        return l.compare(0, prefix.size(), prefix) == 0;
    }));
}

void LogRecorder::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

MonitorStatusCallback StatusRecorder::AsCallback() {
    return [this](const std::wstring& lastCheck, std::int32_t sent, std::int32_t queue,
                  const std::wstring& status) {
        std::lock_guard lock(mutex_);
        reports_.push_back({lastCheck, sent, queue, status});
    };
}

std::vector<StatusReport> StatusRecorder::Reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

// ---------------------------------------------------------------- records

MailSnapshot Message(const std::wstring& folder, const std::wstring& subject,
                     std::int64_t deliveryTicks, const std::wstring& internetId) {
    MailSnapshot message;
    message.FolderPath = folder;
    message.Subject = subject;
    message.SenderName = L"Ada Sender";
    message.ReceivedTime = L"2026-01-01 09:00:00";
    message.EntryId = L"ENTRY-" + subject;
    message.StoreId = L"STORE-1";
    message.InternetMessageId = internetId;
    message.DeliveryTimeUtc = deliveryTicks;
    message.DeliveryTimeKnown = true;
    message.TimestampSource = MapiDeliveryTime;
    return message;
}

MailSnapshot UnknownTimeMessage(const std::wstring& folder, const std::wstring& subject,
                                const std::wstring& internetId) {
    MailSnapshot message = Message(folder, subject, 0, internetId);
    message.DeliveryTimeKnown = false;
    message.TimestampSource = UnknownTimestampSource;
    message.DeliveryDiagnostics =
        L"MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10";
    return message;
}

SelectedFolder Folder(const std::wstring& path) {
    SelectedFolder folder;
    folder.Name = path.substr(path.find_last_of(L'\\') + 1);
    folder.FolderPath = path;
    folder.EntryId = L"E" + std::to_wstring(path.size());
    folder.StoreId = L"STORE-1";
    folder.StoreName = L"Mailbox";
    folder.DetectedOn = L"2026-01-01 08:00:00";
    return folder;
}

RecipientEntry Recipient(const std::wstring& chatId, bool allowed) {
    RecipientEntry recipient;
    recipient.ChatId = chatId;
    recipient.DisplayName = L"Chat " + chatId;
    recipient.Allowed = allowed;
    recipient.RegisteredOn = L"2025-12-01 10:00:00";
    return recipient;
}

void WriteConfig(const std::filesystem::path& folder, const std::wstring& name,
                 const ProfileConfig& config) {
    std::filesystem::create_directories(folder);
    ProfileConfigStore store;
    if (!store.WriteProfileConfig(folder / (name + L"Config.json"), config)) {
        throw std::runtime_error("cannot write the test profile");
    }
}

ProfileConfig ReadConfig(const std::filesystem::path& folder, const std::wstring& name) {
    ProfileConfigStore store;
    if (!store.ReadProfileConfig(folder / (name + L"Config.json"))) {
        throw std::runtime_error("cannot read the test profile");
    }
    return store.Current();
}

}  // namespace wrenpost::testing

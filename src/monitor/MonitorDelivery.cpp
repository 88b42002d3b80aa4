// Sending what waits in the outbox, one request at a time, paced; and settling each answer.
#include <algorithm>
#include <set>

#include "common/Text.h"
#include "monitor/MonitorEngine.h"
#include "monitor/QuietHours.h"

namespace wrenpost {
namespace {

std::wstring Summary(const OutboxRecord& record) {
    return record.ReceivedTime + L" | " + record.SenderName + L" | " + record.Subject;
}

bool AnyDelivered(const OutboxRecord& record) {
    return std::any_of(
        record.Recipients.begin(), record.Recipients.end(),
        [](const OutboxRecipient& r) { return r.State == RecipientState::Delivered; });
}

}  // namespace

void MonitorEngine::PumpSends() {
    // Runs inside and between cycles: nothing thrown here may end the worker.
    try {
        if (inFlight_ && !FinishSend()) {
            return;  // still under way
        }
        if (running_.load()) {
            (void)StartNextSend();
        }
    } catch (const std::exception& error) {
        Log(L"Unhandled exception while sending: " + Utf8ToWide(error.what()) + L". Continuing.");
    } catch (...) {
        Log(L"Unknown unhandled exception while sending. Continuing.");
    }
}

bool MonitorEngine::RecipientAllowed(const std::wstring& chatId) const {
    return std::any_of(config_.Recipients.begin(), config_.Recipients.end(),
                       [&](const RecipientEntry& r) { return r.Allowed && r.ChatId == chatId; });
}

std::wstring MonitorEngine::RecipientName(const std::wstring& chatId) const {
    const auto entry = std::find_if(config_.Recipients.begin(), config_.Recipients.end(),
                                    [&](const RecipientEntry& r) { return r.ChatId == chatId; });
    return entry != config_.Recipients.end() ? entry->DisplayName : chatId;
}

bool MonitorEngine::StartNextSend() {
    const auto now = TimeSource().SteadyNow();
    if (outbox_.Count() == 0) {
        combiningChats_.clear();  // every burst has gone
    }
    // A pause Telegram asked for holds every recipient of the bot.
    if (outbox_.Count() == 0 || !configKnown_ || !answers_.MaySend(session_.BotToken, now)) {
        return false;
    }
    if (StartBurstSend(now)) {
        return true;
    }
    const auto allowedChats =
        static_cast<std::size_t>(std::count_if(config_.Recipients.begin(), config_.Recipients.end(),
                                               [](const RecipientEntry& r) { return r.Allowed; }));
    // Per chat in queue order: a chat whose oldest notification cannot go yet sends nothing newer.
    std::set<std::wstring> waitingChats;
    std::vector<std::pair<std::int64_t, std::wstring>> disallowed;  // sequence, chat id
    std::vector<std::pair<std::int64_t, std::wstring>> topicGone;
    bool started = false;
    for (const auto& [sequence, record] : outbox_.Waiting()) {
        for (const OutboxRecipient& recipient : record.Recipients) {
            const std::wstring& chatId = recipient.ChatId;
            if (recipient.State != RecipientState::Pending || waitingChats.count(chatId) != 0) {
                continue;
            }
            if (!RecipientAllowed(chatId)) {
                disallowed.emplace_back(sequence, chatId);
            } else if (answers_.TopicRefused(chatId, recipient.MessageThreadId)) {
                topicGone.emplace_back(sequence, chatId);
            } else if (pacing_.NextAllowed(chatId) > now) {
                waitingChats.insert(chatId);
            } else {
                StartSend(sequence, record, recipient, now);
                started = true;
                break;
            }
        }
        // Nothing further back can go before these, so a long outbox is not walked in vain.
        if (started || waitingChats.size() >= allowedChats) {
            break;
        }
    }
    SetAside(disallowed, RecipientState::Dropped);
    SetAside(topicGone, RecipientState::Refused);
    return started;
}

void MonitorEngine::SetAside(const std::vector<std::pair<std::int64_t, std::wstring>>& entries,
                             RecipientState state) {
    for (const auto& [sequence, chatId] : entries) {
        const auto found = outbox_.Waiting().find(sequence);
        if (found == outbox_.Waiting().end()) {
            continue;
        }
        OutboxRecord record = found->second;
        for (OutboxRecipient& recipient : record.Recipients) {
            if (recipient.ChatId == chatId && recipient.State == RecipientState::Pending) {
                recipient.State = state;
            }
        }
        Log(state == RecipientState::Dropped
                ? L"Recipient " + chatId +
                      L" is no longer allowed in this profile; the notification \"" +
                      record.Subject + L"\" is not sent to it."
                : L"The forum topic of recipient " + chatId +
                      L" is refused by Telegram; the notification \"" + record.Subject +
                      L"\" is not sent to it.");
        SaveRecord(record);
    }
}

void MonitorEngine::StartSend(std::int64_t sequence, const OutboxRecord& record,
                              const OutboxRecipient& recipient,
                              std::chrono::steady_clock::time_point now) {
    Outgoing message;
    message.Sequences = {sequence};
    message.ChatId = recipient.ChatId;
    message.Title = record.Title;
    message.Body = record.Body;
    message.Options.Silent = record.Silent || QuietNow();
    message.Options.MessageThreadId = recipient.MessageThreadId;
    message.Options.DisableLinkPreview = record.DisableLinkPreview;
    Launch(std::move(message), now);
}

bool MonitorEngine::QuietNow() const {
    // Judged at the send: the mail may have waited since before the quiet hours began.
    return QuietHoursCover(config_.Message.Quiet, TimeSource().Now());
}

void MonitorEngine::Launch(Outgoing message, std::chrono::steady_clock::time_point now) {
    InFlight sending;
    sending.Outcome = std::make_shared<SendOutcome>();
    sending.Sequences = std::move(message.Sequences);
    sending.ChatId = message.ChatId;
    pacing_.Sent(message.ChatId, now);
    std::unique_ptr<NotificationProvider> provider =
        deps_.MakeProvider ? deps_.MakeProvider(session_.BotToken, message.ChatId) : nullptr;
    if (!provider) {
        sending.Outcome->Result.reason = L"No notification channel is available.";
        sending.Outcome->Done.store(true);
    } else {
        // On a thread of its own, so neither reading nor a stop waits for Telegram.
        sending.Thread = deps_.LaunchThread(
            [outcome = sending.Outcome,
             provider = std::shared_ptr<NotificationProvider>(std::move(provider)),
             title = std::move(message.Title), body = std::move(message.Body),
             options = message.Options] {
                try {
                    outcome->Result = provider->Send(title, body, options);
                } catch (...) {
                    outcome->Thrown = std::current_exception();
                }
                outcome->Done.store(true);
            });
    }
    inFlight_ = std::move(sending);
}

bool MonitorEngine::FinishSend() {
    if (!inFlight_->Outcome->Done.load()) {
        return false;
    }
    InFlight sending = std::move(*inFlight_);
    inFlight_.reset();
    if (sending.Thread.joinable()) {
        sending.Thread.join();
    }
    if (sending.Outcome->Thrown) {
        std::rethrow_exception(sending.Outcome->Thrown);
    }
    // The entries of a combined message settle together; the answer counts once for the chat.
    bool first = true;
    for (const std::int64_t sequence : sending.Sequences) {
        const auto found = outbox_.Waiting().find(sequence);
        if (found == outbox_.Waiting().end()) {
            continue;
        }
        OutboxRecord record = found->second;
        for (OutboxRecipient& recipient : record.Recipients) {
            if (recipient.ChatId == sending.ChatId && recipient.State == RecipientState::Pending) {
                Settle(record, recipient, sending.Outcome->Result, std::exchange(first, false));
                break;
            }
        }
        SaveRecord(record);
    }
    ReportProgress();
    return true;
}

void MonitorEngine::AbandonSend() {
    // A send still running when the session stops counts as not sent; its answer may never be
    // known, so the notification stays waiting (it may reach that chat twice).
    if (inFlight_ && inFlight_->Outcome->Done.load()) {
        (void)FinishSend();
    }
    if (inFlight_) {
        if (inFlight_->Thread.joinable()) {
            inFlight_->Thread.detach();
        }
        inFlight_.reset();
    }
}

void MonitorEngine::Settle(OutboxRecord& record, OutboxRecipient& recipient, const SendResult& sent,
                           bool firstOfSend) {
    const auto now = TimeSource().SteadyNow();
    const std::wstring& chatId = recipient.ChatId;
    switch (ClassifySend(sent)) {
        case SendVerdict::Delivered: {
            const bool first = !AnyDelivered(record);
            recipient.State = RecipientState::Delivered;
            pacing_.Succeeded(chatId);
            lastDelivery_ = now;
            const std::wstring when = LocalNow();
            notified_.emplace_back(chatId, when);
            if (session_.OnRecipientNotified) {
                session_.OnRecipientNotified(chatId, when);
            }
            if (first) {
                ++messagesSent_;
                Log(L"Telegram sent: " + Summary(record));
            }
            return;
        }
        case SendVerdict::Pause:
            if (firstOfSend) {
                answers_.Pause(session_.BotToken, now, sent.retryAfterSeconds);
                Log(L"Telegram asked to wait " + ToWideDecimal(sent.retryAfterSeconds) +
                    L" s before sending again.");
            }
            break;
        case SendVerdict::Refused: {
            recipient.State = RecipientState::Refused;
            if (answers_.Refuse(record.MessageKey, chatId)) {
                Log(L"WARNING: Telegram refuses messages to recipient " + RecipientName(chatId) +
                    L" (" + chatId + L"): " + sent.reason +
                    L" Messages refused this way are not retried; check this recipient in Manage "
                    L"Recipients.");
            }
            if (record.Settled() && !AnyDelivered(record)) {
                Log(L"Telegram refused by every recipient, not retried: " + Summary(record));
            }
            return;
        }
        case SendVerdict::TopicGone:
            recipient.State = RecipientState::Refused;
            if (answers_.RefuseTopic(chatId, recipient.MessageThreadId)) {
                Log(L"WARNING: Telegram refuses the forum topic " +
                    ToWideDecimal(recipient.MessageThreadId) + L" of recipient " +
                    RecipientName(chatId) + L" (" + chatId + L"): " + sent.reason +
                    L" Nothing more is sent to this topic in this session; clear the topic or "
                    L"verify the chat again in Manage Recipients.");
            }
            return;
        case SendVerdict::Rejected:
            recipient.State = RecipientState::Dropped;
            Log(L"ERROR: Telegram rejected the notification \"" + record.Subject +
                L"\" for recipient " + chatId + L": " + sent.reason +
                L" It is not sent to this recipient again.");
            return;
        case SendVerdict::Retry:
            if (firstOfSend) {
                pacing_.Failed(chatId, now);
            }
            break;
    }
    Log(L"Telegram send failed for recipient " + chatId + L": " + record.Subject + L" - " +
        sent.reason);
    if (!AnyDelivered(record)) {
        ++queueCount_;
        Log(L"Telegram failed, will retry: " + Summary(record));
    }
}

void MonitorEngine::SaveRecord(const OutboxRecord& record) {
    std::wstring error;
    if (!outbox_.Update(record, &error)) {
        Log(L"ERROR: Could not record the delivery state of \"" + record.Subject +
            L"\" in the outbox (" + error + L").");
    }
    waiting_.store(outbox_.Count());
}

void MonitorEngine::WriteBackNotificationTimes() {
    if (notified_.empty()) {
        return;
    }
    const auto notified = std::exchange(notified_, {});
    // The window may have saved the profile during this cycle: start from the file as it is
    // now and change nothing but the notification times of the recipients just notified. The
    // file lock is held only for this re-read and write, never while reading Outlook or sending.
    const ProfileUpdateResult result =
        UpdateProfileConfig(configPath_, [&notified](ProfileConfig& current) {
            for (const auto& [chatId, when] : notified) {
                for (RecipientEntry& recipient : current.Recipients) {
                    if (recipient.ChatId == chatId) {
                        recipient.LastNotification = when;
                    }
                }
            }
        });
    if (result == ProfileUpdateResult::ReadFailed) {
        Log(L"Could not re-read " + configPath_.wstring() +
            L" to record notification times; skipped for this cycle.");
    } else if (result == ProfileUpdateResult::WriteFailed) {
        Log(L"Could not write notification times to " + configPath_.wstring() + L".");
    }
}

}  // namespace wrenpost

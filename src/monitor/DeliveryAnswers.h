// What the monitor makes of Telegram's answer to one send, and what it remembers of those
// answers during a session: the pause each bot was asked to take and the recipients who refused
// a message for good.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "telegram/NotificationProvider.h"

namespace wrenpost {

enum class SendVerdict {
    Delivered,
    Retry,      // a temporary failure: tried again next cycle
    Pause,      // 429 with retry_after: the bot sends nothing until the pause has passed
    Refused,    // blocked, deactivated, kicked, chat not found: no retry changes that
    TopicGone,  // the recipient's forum topic was deleted or closed: not sent there this session
    Rejected,   // any other 400: this message is wrong for Telegram; sending it again changes
                // nothing
};

SendVerdict ClassifySend(const SendResult& result);

class DeliveryAnswers {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // A new session: refusals and warnings are forgotten; a pause Telegram asked for still holds.
    void NewSession();

    bool MaySend(const std::wstring& botToken, TimePoint now) const;
    void Pause(const std::wstring& botToken, TimePoint now, std::int64_t seconds);

    bool Refused(const std::wstring& messageKey, const std::wstring& chatId) const;
    // Records a refusal; true the first time this session the recipient refuses anything.
    bool Refuse(const std::wstring& messageKey, const std::wstring& chatId);
    // The message left the queue: its refusals are no longer needed.
    void Forget(const std::wstring& messageKey);

    // A forum topic Telegram refused: nothing more goes there this session. True the first time.
    bool RefuseTopic(const std::wstring& chatId, std::int64_t messageThreadId);
    bool TopicRefused(const std::wstring& chatId, std::int64_t messageThreadId) const;

private:
    std::map<std::wstring, TimePoint> pausedUntil_;
    std::set<std::pair<std::wstring, std::wstring>> refused_;  // message key, chat id
    std::set<std::wstring> warned_;
    std::set<std::pair<std::wstring, std::int64_t>> refusedTopics_;
};

}  // namespace wrenpost

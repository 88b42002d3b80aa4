// When the next message may go to a chat: Telegram's rate limits kept on our side (so a burst or
// a drain does not itself provoke 429), and the back-off of a chat whose sends fail for now.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <string>

namespace wrenpost {

struct PacingLimits {
    std::chrono::milliseconds PerChatGap{1000};      // one message per second to a chat
    std::chrono::milliseconds GroupWindow{60000};    // groups and channels (ids starting "-"):
    std::size_t GroupMessagesPerWindow = 20;         //   20 a minute
    std::chrono::milliseconds BotWindow{1000};       // the whole bot:
    std::size_t BotMessagesPerWindow = 30;           //   30 a second
    std::chrono::milliseconds FirstRetry{5000};      // a temporary failure: 5 s,
    std::chrono::milliseconds LongestRetry{300000};  //   doubling up to 5 minutes
};

class SendPacing {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit SendPacing(PacingLimits limits = {}) : limits_(limits) {}

    // The earliest time the next message may go to `chatId` (now or earlier: at once).
    TimePoint NextAllowed(const std::wstring& chatId) const;
    // A send to the chat started at `at` (counted whatever its answer).
    void Sent(const std::wstring& chatId, TimePoint at);
    // The chat's last send failed for now: it waits 5 s, then twice as long after each failure.
    void Failed(const std::wstring& chatId, TimePoint at);
    void Succeeded(const std::wstring& chatId);

    const PacingLimits& Limits() const { return limits_; }

private:
    struct Chat {
        TimePoint lastSend{};
        bool sentBefore = false;
        std::deque<TimePoint> recent;  // groups only, within GroupWindow
        TimePoint retryAt{};
        std::chrono::milliseconds backOff{0};
    };

    PacingLimits limits_;
    std::map<std::wstring, Chat> chats_;
    std::deque<TimePoint> botRecent_;
};

}  // namespace wrenpost

#include "monitor/DeliveryAnswers.h"

#include <algorithm>

namespace wrenpost {

SendVerdict ClassifySend(const SendResult& result) {
    if (result.ok) {
        return SendVerdict::Delivered;
    }
    if (result.httpStatus == 429 && result.retryAfterSeconds > 0) {
        return SendVerdict::Pause;
    }
    // Only Telegram's own refusals count (a proxy's 403 carries no "Forbidden:" description);
    // every 403 Telegram gives sendMessage concerns the chat, never the message.
    const std::wstring& reason = result.reason;
    if (result.httpStatus == 403 && reason.find(L"Forbidden: ") != std::wstring::npos) {
        return SendVerdict::Refused;
    }
    if (result.httpStatus == 400) {
        if (reason.find(L"message thread not found") != std::wstring::npos ||
            reason.find(L"TOPIC_CLOSED") != std::wstring::npos) {
            return SendVerdict::TopicGone;
        }
        return reason.find(L"chat not found") != std::wstring::npos ? SendVerdict::Refused
                                                                    : SendVerdict::Rejected;
    }
    return SendVerdict::Retry;
}

void DeliveryAnswers::NewSession() {
    refused_.clear();
    warned_.clear();
    refusedTopics_.clear();
}

bool DeliveryAnswers::MaySend(const std::wstring& botToken, TimePoint now) const {
    const auto paused = pausedUntil_.find(botToken);
    return paused == pausedUntil_.end() || now >= paused->second;
}

void DeliveryAnswers::Pause(const std::wstring& botToken, TimePoint now, std::int64_t seconds) {
    // Bounded so an absurd retry_after cannot overflow the time point or silence the bot for good.
    constexpr std::int64_t kLongestPause = 24 * 60 * 60;
    pausedUntil_[botToken] =
        now + std::chrono::seconds(std::clamp<std::int64_t>(seconds, 0, kLongestPause));
}

bool DeliveryAnswers::Refused(const std::wstring& messageKey, const std::wstring& chatId) const {
    return refused_.count({messageKey, chatId}) > 0;
}

bool DeliveryAnswers::Refuse(const std::wstring& messageKey, const std::wstring& chatId) {
    refused_.insert({messageKey, chatId});
    return warned_.insert(chatId).second;
}

bool DeliveryAnswers::RefuseTopic(const std::wstring& chatId, std::int64_t messageThreadId) {
    return refusedTopics_.insert({chatId, messageThreadId}).second;
}

bool DeliveryAnswers::TopicRefused(const std::wstring& chatId, std::int64_t messageThreadId) const {
    return refusedTopics_.count({chatId, messageThreadId}) > 0;
}

void DeliveryAnswers::Forget(const std::wstring& messageKey) {
    std::erase_if(refused_, [&](const auto& entry) { return entry.first == messageKey; });
}

}  // namespace wrenpost

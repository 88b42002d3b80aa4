#include "monitor/SendPacing.h"

#include <algorithm>

namespace wrenpost {
namespace {

bool IsGroup(const std::wstring& chatId) {
    return !chatId.empty() && chatId[0] == L'-';
}

void ForgetBefore(std::deque<SendPacing::TimePoint>& times, SendPacing::TimePoint limit) {
    while (!times.empty() && times.front() <= limit) {
        times.pop_front();
    }
}

// With `count` sends in the window, the time the oldest that must leave it does.
SendPacing::TimePoint WindowOpens(const std::deque<SendPacing::TimePoint>& times,
                                  std::size_t perWindow, std::chrono::milliseconds window) {
    if (perWindow == 0 || times.size() < perWindow) {
        return {};
    }
    return times[times.size() - perWindow] + window;
}

}  // namespace

SendPacing::TimePoint SendPacing::NextAllowed(const std::wstring& chatId) const {
    TimePoint next = WindowOpens(botRecent_, limits_.BotMessagesPerWindow, limits_.BotWindow);
    const auto found = chats_.find(chatId);
    if (found == chats_.end()) {
        return next;
    }
    const Chat& chat = found->second;
    if (chat.sentBefore) {
        next = std::max(next, chat.lastSend + limits_.PerChatGap);
    }
    next = std::max(next, chat.retryAt);
    if (IsGroup(chatId)) {
        next = std::max(
            next, WindowOpens(chat.recent, limits_.GroupMessagesPerWindow, limits_.GroupWindow));
    }
    return next;
}

void SendPacing::Sent(const std::wstring& chatId, TimePoint at) {
    Chat& chat = chats_[chatId];
    chat.lastSend = at;
    chat.sentBefore = true;
    if (IsGroup(chatId)) {
        chat.recent.push_back(at);
        ForgetBefore(chat.recent, at - limits_.GroupWindow);
    }
    botRecent_.push_back(at);
    ForgetBefore(botRecent_, at - limits_.BotWindow);
}

void SendPacing::Failed(const std::wstring& chatId, TimePoint at) {
    Chat& chat = chats_[chatId];
    chat.backOff = chat.backOff.count() == 0 ? limits_.FirstRetry
                                             : std::min(chat.backOff * 2, limits_.LongestRetry);
    chat.retryAt = at + chat.backOff;
}

void SendPacing::Succeeded(const std::wstring& chatId) {
    Chat& chat = chats_[chatId];
    chat.backOff = std::chrono::milliseconds(0);
    chat.retryAt = {};
}

}  // namespace wrenpost

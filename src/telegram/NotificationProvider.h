// The notification channel the monitor engine sends through.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wrenpost {

// The outcome of one delivery, returned to the caller (no per-thread state to read back).
struct SendResult {
    bool ok = false;
    std::wstring reason;                 // why it failed; empty on success
    std::uint32_t httpStatus = 0;        // 0 when no answer arrived
    std::int64_t retryAfterSeconds = 0;  // the service's requested pause (HTTP 429); 0 when none
};

// How one message is delivered; the defaults make the plain request.
struct SendOptions {
    bool Silent = false;               // delivered without a sound
    std::int64_t MessageThreadId = 0;  // the forum topic to post in; 0: the chat itself
    bool DisableLinkPreview = false;   // Telegram fetches no link of the text
};

class NotificationProvider {
public:
    virtual ~NotificationProvider() = default;
    virtual SendResult Send(const std::wstring& title, const std::wstring& body,
                            const SendOptions& options) = 0;
    SendResult Send(const std::wstring& title, const std::wstring& body) {
        return Send(title, body, SendOptions{});
    }
    virtual SendResult SendTest(const SendOptions& options = {}) {
        return Send(L"Wrenpost Test", L"Test message sent successfully from Wrenpost.", options);
    }
    virtual std::wstring Name() const = 0;
};

// Makes the provider that addresses one recipient (bot token, chat id); the monitor engine and
// the test send receive one of these instead of constructing a provider themselves.
using NotificationProviderFactory = std::function<std::unique_ptr<NotificationProvider>(
    const std::wstring& token, const std::wstring& chatId)>;

}  // namespace wrenpost

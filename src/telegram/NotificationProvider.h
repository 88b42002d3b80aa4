// The notification channel the monitor engine sends through.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace wrenpost {

class NotificationProvider {
public:
    virtual ~NotificationProvider() = default;
    // Delivers one notification; on false the reason is in LastSendError() on this thread.
    virtual bool Send(const std::wstring& title, const std::wstring& body) = 0;
    virtual bool SendTest() {
        return Send(L"Wrenpost Test", L"Test message sent successfully from Wrenpost.");
    }
    virtual std::wstring Name() const = 0;
};

// The reason of the last failed Send on the calling thread (emptied when Send starts).
std::wstring& LastSendError();

// Makes the provider that addresses one recipient (bot token, chat id); the monitor engine and
// the test send receive one of these instead of constructing a provider themselves.
using NotificationProviderFactory = std::function<std::unique_ptr<NotificationProvider>(
    const std::wstring& token, const std::wstring& chatId)>;

}  // namespace wrenpost

// The notification channel the monitor engine sends through.
#pragma once

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

}  // namespace wrenpost

// Ends one WinHTTP request from whichever comes first: its deadline, a cancelling thread or its
// own end. Closing the request handle is the one way to end a pending synchronous call (Windows
// ends it at once; wine lets it run to its time-out, which the client keeps near the deadline).
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace wrenpost {

class HttpCancellation;

class RequestGuard {
public:
    // Takes over the request handle. A deadline of zero or less arms no timer.
    RequestGuard(HINTERNET request, std::chrono::milliseconds deadline,
                 HttpCancellation* cancellation);
    ~RequestGuard();
    RequestGuard(const RequestGuard&) = delete;
    RequestGuard& operator=(const RequestGuard&) = delete;

    // False when the request must not run: cancelled before it started, or no timer to keep
    // its deadline (the reason is in GetLastError).
    [[nodiscard]] bool Ready() const { return ready_; }
    HINTERNET Handle() const { return handle_; }
    // True once the handle was closed under the request (deadline or cancellation): the next
    // call on it must not be made, the handle's number may already name another request.
    [[nodiscard]] bool Closed();
    [[nodiscard]] bool Expired() const { return expired_; }

private:
    static void CALLBACK OnDeadline(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER);
    void Close();

    std::mutex mutex_;
    HINTERNET handle_;
    bool closed_ = false;
    std::atomic<bool> expired_{false};
    bool ready_ = true;
    PTP_TIMER timer_ = nullptr;
    HttpCancellation* cancellation_;
    std::uint64_t ticket_ = 0;
};

}  // namespace wrenpost

#include "common/HttpDeadline_win.h"

#include "common/HttpCancellation.h"

namespace wrenpost {

RequestGuard::RequestGuard(HINTERNET request, std::chrono::milliseconds deadline,
                           HttpCancellation* cancellation)
    : handle_(request), cancellation_(cancellation) {
    if (cancellation_) {
        ticket_ = cancellation_->Enter([this] { Close(); });
        if (ticket_ == 0) {
            SetLastError(ERROR_WINHTTP_OPERATION_CANCELLED);
            ready_ = false;
            return;
        }
    }
    if (deadline.count() <= 0) {
        return;
    }
    timer_ = CreateThreadpoolTimer(&RequestGuard::OnDeadline, this, nullptr);
    if (!timer_) {
        ready_ = false;
        return;
    }
    // A negative due time is relative, in 100 ns units.
    ULARGE_INTEGER due;
    due.QuadPart = static_cast<ULONGLONG>(-(deadline.count() * 10'000));
    FILETIME dueTime{due.LowPart, due.HighPart};
    SetThreadpoolTimer(timer_, &dueTime, 0, 0);
}

RequestGuard::~RequestGuard() {
    if (timer_) {
        SetThreadpoolTimer(timer_, nullptr, 0, 0);
        WaitForThreadpoolTimerCallbacks(timer_, TRUE);
        CloseThreadpoolTimer(timer_);
    }
    // After Leave no cancelling thread can reach this object any more.
    if (ticket_ != 0) {
        (void)cancellation_->Leave(ticket_);
    }
    Close();
}

bool RequestGuard::Closed() {
    std::lock_guard lock(mutex_);
    return closed_;
}

void RequestGuard::Close() {
    std::lock_guard lock(mutex_);
    if (!closed_) {
        closed_ = true;
        WinHttpCloseHandle(handle_);
    }
}

void CALLBACK RequestGuard::OnDeadline(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER) {
    auto* guard = static_cast<RequestGuard*>(context);
    guard->expired_ = true;
    guard->Close();
}

}  // namespace wrenpost

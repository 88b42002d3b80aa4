// The one worker -> window channel: a heap record released by the sender and adopted by the
// receiving window. A record that cannot be delivered (window gone, queue full, window destroyed
// with the message still queued) is freed, never leaked.
#pragma once

#include <windows.h>

#include <memory>

namespace wrenpost {

struct PostedRecord {
    virtual ~PostedRecord() = default;
};

// Marks wParam of messages that carry a record, so pending ones can be found and freed.
inline constexpr WPARAM kPostedRecordTag = 0x57524E50;

bool PostRecord(HWND window, UINT message, std::unique_ptr<PostedRecord> record);

// In the window procedure: takes ownership of the record of a message sent with PostRecord;
// null when the message did not carry one of type T.
template <typename T>
std::unique_ptr<T> AdoptRecord(WPARAM wParam, LPARAM lParam) {
    if (wParam != kPostedRecordTag || lParam == 0) {
        return nullptr;
    }
    std::unique_ptr<PostedRecord> base(reinterpret_cast<PostedRecord*>(lParam));
    if (dynamic_cast<T*>(base.get()) == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<T>(static_cast<T*>(base.release()));
}

// Call from WM_NCDESTROY: frees records still queued for this window.
void DiscardPendingRecords(HWND window);

}  // namespace wrenpost

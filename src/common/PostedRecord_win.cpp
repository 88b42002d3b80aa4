#include "common/PostedRecord_win.h"

namespace wrenpost {

bool PostRecord(HWND window, UINT message, std::unique_ptr<PostedRecord> record) {
    if (window == nullptr || !IsWindow(window)) {
        return false;
    }
    PostedRecord* raw = record.release();
    if (!PostMessageW(window, message, kPostedRecordTag, reinterpret_cast<LPARAM>(raw))) {
        delete raw;
        return false;
    }
    return true;
}

void DiscardPendingRecords(HWND window) {
    MSG msg;
    while (PeekMessageW(&msg, window, WM_APP, 0xBFFF, PM_REMOVE)) {
        // Wine hands out a pending WM_QUIT whatever the filter; it must reach the loop.
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.wParam == kPostedRecordTag && msg.lParam != 0) {
            delete reinterpret_cast<PostedRecord*>(msg.lParam);
        }
    }
}

}  // namespace wrenpost

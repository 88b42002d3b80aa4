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
        if (msg.wParam == kPostedRecordTag && msg.lParam != 0) {
            delete reinterpret_cast<PostedRecord*>(msg.lParam);
        }
    }
}

}  // namespace wrenpost

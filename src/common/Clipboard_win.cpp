#include "common/Clipboard_win.h"

#include <cstring>

namespace wrenpost {
namespace {

// Puts a copy of `bytes` on the open clipboard under `format`.
void SetClipboardBytes(UINT format, const void* bytes, std::size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) {
        return;
    }
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, bytes, size);
        GlobalUnlock(memory);
        if (SetClipboardData(format, memory) != nullptr) {
            return;  // the clipboard owns it now
        }
    }
    GlobalFree(memory);
}

}  // namespace

bool CopyToClipboard(HWND owner, const std::wstring& text, ClipboardPrivacy privacy) {
    if (!OpenClipboard(owner)) {
        return false;
    }
    EmptyClipboard();
    if (privacy == ClipboardPrivacy::Secret) {
        // The history and cloud formats say "no" with a zero DWORD; the monitor exclusion is
        // meant by its presence alone.
        const DWORD no = 0;
        for (const wchar_t* name :
             {L"ExcludeClipboardContentFromMonitorProcessing", L"CanIncludeInClipboardHistory",
              L"CanUploadToCloudClipboard"}) {
            if (const UINT format = RegisterClipboardFormatW(name)) {
                SetClipboardBytes(format, &no, sizeof(no));
            }
        }
    }
    SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    CloseClipboard();
    return true;
}

}  // namespace wrenpost

#include "ui/ModalLoop_win.h"

#include <vector>

namespace wrenpost {
namespace {

// Re-enables the owner on every way out, `done` throwing included.
class OwnerDisabled {
public:
    explicit OwnerDisabled(HWND owner)
        : owner_(owner != nullptr && IsWindowEnabled(owner) ? owner : nullptr) {
        if (owner_ != nullptr) {
            EnableWindow(owner_, FALSE);
        }
    }
    ~OwnerDisabled() {
        if (owner_ != nullptr && IsWindow(owner_)) {
            EnableWindow(owner_, TRUE);
        }
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    HWND owner_;
};

// Loops nest strictly on one thread, so a stack tells which dialog is innermost.
thread_local std::vector<HWND> modalDialogs;

class ModalDialogEntry {
public:
    explicit ModalDialogEntry(HWND dialog) { modalDialogs.push_back(dialog); }
    ~ModalDialogEntry() { modalDialogs.pop_back(); }
    ModalDialogEntry(const ModalDialogEntry&) = delete;
    ModalDialogEntry& operator=(const ModalDialogEntry&) = delete;
};

}  // namespace

HWND ActiveModalDialog() {
    return modalDialogs.empty() ? nullptr : modalDialogs.back();
}

ModalEnd RunModalLoop(HWND owner, HWND dialog, const std::function<bool()>& done) {
    const ModalDialogEntry entry(dialog);
    const OwnerDisabled disabled(owner);
    MSG message{};
    while (true) {
        if (done && done()) {
            return ModalEnd::Done;
        }
        if (!IsWindow(dialog)) {
            return ModalEnd::DialogGone;
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) {
            return ModalEnd::Failed;
        }
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return ModalEnd::Quit;
        }
        if (IsDialogMessageW(dialog, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace wrenpost

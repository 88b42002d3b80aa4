// The base of the program's modal dialog windows: the owner and its DPI, the window made from the
// dialog class, and a window that never outlives the object its procedure reaches.
#pragma once

#include <windows.h>

#include <functional>

#include "common/UniqueHandle_win.h"
#include "ui/BaseWindow_win.h"
#include "ui/DialogWindow_win.h"
#include "ui/ModalLoop_win.h"

namespace wrenpost {

// Lifetime: RunModal destroys the window itself, from inside a member call while Derived is
// still whole, because WM_DESTROY and WM_NCDESTROY handlers use Derived's members (the
// verification window stops its worker there). A base destructor cannot do that: it runs after
// Derived's members are gone. It only handles the window something threw past before RunModal.
template <typename Derived>
class OwnedDialog : public BaseWindow<Derived> {
public:
    OwnedDialog(const OwnedDialog&) = delete;
    OwnedDialog& operator=(const OwnedDialog&) = delete;

protected:
    explicit OwnedDialog(HWND owner) : owner_(owner), dpi_(DialogDpi(owner)) {}

    ~OwnedDialog() {
        if (const HWND window = this->Window()) {
            // Derived is gone: the window's last messages go to the dialog manager alone.
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Orphaned));
            DestroyWindow(window);
        }
    }

    // Registers the class and makes the window, its client area given in 96-DPI units, centred
    // over the owner.
    bool CreateOwnedWindow(const wchar_t* className, const wchar_t* title, int width, int height) {
        return RegisterOwnedClass(className) &&
               CreateDialogWindow(className, title, owner_, dpi_, width, height,
                                  static_cast<Derived*>(this)) != nullptr;
    }

    // The same with the window's outer size at 96 DPI: the caption and the modal frame come off
    // the client area.
    bool CreateOwnedWindowOuter(const wchar_t* className, const wchar_t* title, int width,
                                int height) {
        RECT frame{0, 0, 0, 0};
        AdjustWindowRectExForDpi(&frame, kDialogStyle, FALSE, kDialogExStyle,
                                 USER_DEFAULT_SCREEN_DPI);
        return CreateOwnedWindow(className, title, width - (frame.right - frame.left),
                                 height - (frame.bottom - frame.top));
    }

    bool RegisterOwnedClass(const wchar_t* className) const {
        return RegisterDialogClass(GetModuleHandleW(nullptr), className,
                                   &BaseWindow<Derived>::WindowProc);
    }

    // Shows the window with `focusId` focused (0: the first tab stop, as activation leaves it)
    // and runs it modally. The loop enables the owner again before the window is destroyed, so
    // activation returns to the owner rather than to another program; the window is gone on every
    // way out.
    ModalEnd RunModal(const std::function<bool()>& done, int focusId = 0) {
        const DestroyOnExit destroy{*this};
        ShowWindow(this->Window(), SW_SHOW);
        if (focusId != 0) {
            SendMessageW(this->Window(), WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(GetDlgItem(this->Window(), focusId)), TRUE);
        }
        return RunModalLoop(owner_, this->Window(), done);
    }

    int Scale(int value) const {
        return MulDiv(value, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
    }

    // The system's message font at the dialog's DPI, made on first use. Held by the base, so it
    // outlives the window whichever way the window goes.
    HFONT MessageFont() {
        if (!messageFont_) {
            const LOGFONTW font = MessageFontFor(dpi_);
            messageFont_.reset(CreateFontIndirectW(&font));
        }
        return static_cast<HFONT>(messageFont_.get());
    }

    HWND owner_;
    UINT dpi_;

private:
    void DestroyOwnedWindow() {
        if (this->Window() != nullptr) {
            DestroyWindow(this->Window());
        }
    }

    UniqueGdiObject messageFont_;

    struct DestroyOnExit {
        OwnedDialog& dialog;
        ~DestroyOnExit() { dialog.DestroyOwnedWindow(); }
    };

    static LRESULT CALLBACK Orphaned(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
        return DialogDefault(window, message, wParam, lParam);
    }
};

}  // namespace wrenpost

// The tour's hands for a person without a mouse: every action is a key press sent with
// SendInput to whatever window has the focus. The driver only reads the program's state (which
// control has the focus, which box is up) to know when a key has taken effect.
#pragma once

#include <windows.h>

#include <string>

#include "playground/TourHands_win.h"

namespace wrenpost::testing {

class KeyboardHands final : public TourHands {
public:
    explicit KeyboardHands(const RunningProgram& program) : p_(program) {}
    bool Fill(int id, const std::wstring& text) override;
    bool Press(int id) override;
    bool TickFirstFolder() override;
    bool Confirm(const wchar_t* title) override;

private:
    // Waits until the main window (a box or picker of the program, when given) is the active
    // window, so keys reach it.
    bool WaitUntilActive(HWND top) const;
    HWND Focused() const;
    // Tabs through the main window until `control` has the focus; false when a whole round of
    // the tab order never reached it.
    bool TabTo(HWND control) const;

    const RunningProgram& p_;
};

}  // namespace wrenpost::testing

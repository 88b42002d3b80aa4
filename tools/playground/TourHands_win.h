// How the tour's steps reach the main window: as posted clicks and set texts, or by key presses
// alone, as a person without a mouse works (mnemonics, Tab, Enter, arrows, Space).
#pragma once

#include <memory>
#include <string>

#include "support/RunningProgram_win.h"

namespace wrenpost::testing {

enum class TourInput { Mouse, Keyboard };

class TourHands {
public:
    virtual ~TourHands() = default;
    // Replaces the text of an edit field of the main window and waits until the window shows it.
    virtual bool Fill(int id, const std::wstring& text) = 0;
    // Presses a button of the main window.
    virtual bool Press(int id) = 0;
    // Ticks the first folder below the first store and waits until the window counts it.
    virtual bool TickFirstFolder() = 0;
    // Accepts the program's box or folder picker with that title (nullptr: any) and waits until
    // it is gone; false when none came.
    virtual bool Confirm(const wchar_t* title) = 0;
};

std::unique_ptr<TourHands> MakeTourHands(const RunningProgram& program, TourInput input);

}  // namespace wrenpost::testing

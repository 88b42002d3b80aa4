// The guided tour of the program: one profile from an empty form to a delivered notification,
// step by step through the real window. The playground runs it for a newcomer (with
// screenshots); an end-to-end test runs the same steps against its own fakes.
#pragma once

#include <functional>
#include <string>

#include "playground/TourHands_win.h"
#include "support/RunningProgram_win.h"

namespace wrenpost::testing {

inline constexpr wchar_t kTourToken[] = L"424242:playground-token";
inline constexpr wchar_t kTourSubject[] = L"Quarterly numbers are in";

// What the tour needs of the world around the program.
struct TourWorld {
    std::function<void(const std::wstring& text)> say;      // the sample user writes to the bot
    std::function<void(const std::wstring& subject)> mail;  // a new mail reaches the Inbox
    std::function<bool()> delivered;                        // the bot has sent the notification
    std::function<void(const std::wstring& step)> shot;     // after each step; may be empty
};

// Runs every step on a started program, then reads its log; false with the failed step's name,
// or the log's first WARNING or ERROR line, in `failure`.
bool RunTour(const RunningProgram& program, const TourWorld& world, TourInput input,
             std::wstring& failure);

}  // namespace wrenpost::testing

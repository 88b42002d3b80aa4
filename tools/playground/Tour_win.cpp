#include "playground/Tour_win.h"

#include <memory>
#include <vector>

#include "ui/recipients/VerificationWindow_win.h"

namespace wrenpost::testing {
namespace {

struct Step {
    const wchar_t* name;
    std::function<bool()> run;
};

// A newcomer's first log should hold nothing that looks like something went wrong; otherwise
// `failure` names the first line that does.
bool LogIsClean(const RunningProgram& program, std::wstring& failure) {
    const std::wstring log = program.Text(kIdLogView);
    for (const wchar_t* level : {L" [WARNING] ", L" [ERROR] "}) {
        if (const std::size_t at = log.find(level); at != std::wstring::npos) {
            const std::size_t newline = log.rfind(L'\n', at);
            const std::size_t begin = newline == std::wstring::npos ? 0 : newline + 1;
            failure = L"log: " + log.substr(begin, log.find(L'\r', at) - begin);
            return false;
        }
    }
    return true;
}

}  // namespace

bool RunTour(const RunningProgram& program, const TourWorld& world, TourInput input,
             std::wstring& failure) {
    const RunningProgram& p = program;
    const std::unique_ptr<TourHands> hands = MakeTourHands(program, input);
    TourHands& h = *hands;
    const std::vector<Step> steps = {
        {L"fill-profile",
         [&] {
             return h.Fill(kIdProfileName, L"Playground") && h.Fill(kIdAccessToken, kTourToken);
         }},
        {L"check-bot",
         [&] {
             return h.Press(kIdCheckBot) && WaitFor([&] {
                        return !p.Text(kIdBotUsername).empty() &&
                               p.Text(kIdBotUsername) != L"Loading...";
                    }) &&
                    IsWindowEnabled(p.Control(kIdShareBot));
         }},
        {L"detect-folders",
         [&] {
             return h.Press(kIdDetectFolders) &&
                    p.WaitForText(kIdStatusLine, L"Status: Outlook Tree Loaded");
         }},
        {L"tick-inbox", [&] { return h.TickFirstFolder(); }},
        {L"get-chat-id",
         [&] {
             if (!h.Press(kIdGetChatId)) {
                 return false;
             }
             HWND dialog = WaitForWindow(kVerificationWindowClass, nullptr, p.Id(), kE2eTimeout);
             if (dialog == nullptr) {
                 return false;
             }
             if (world.shot) {
                 world.shot(L"verification-code");
             }
             world.say(WindowText(GetDlgItem(dialog, 101)));
             return h.Confirm(L"Verification Successful") && p.WaitForText(kIdRecipientCount, L"1");
         }},
        {L"save", [&] { return h.Press(kIdSave) && h.Confirm(nullptr) && h.Confirm(L"Saved"); }},
        {L"start",
         [&] {
             return h.Fill(kIdCheckSeconds, L"2") && h.Press(kIdStartMonitor) &&
                    p.WaitForText(kIdStatusLine, L"Status: Running");
         }},
        {L"new-mail",
         [&] {
             world.mail(kTourSubject);
             return WaitFor(world.delivered) && p.WaitForText(kIdMessagesSent, L"Messages Sent: 1");
         }},
        {L"stop",
         [&] {
             return h.Press(kIdStopMonitor) &&
                    p.WaitForText(kIdStatusLine, L"Status: Monitor Stopped");
         }},
    };
    for (const Step& step : steps) {
        if (!step.run()) {
            failure = step.name;
            return false;
        }
        if (world.shot) {
            world.shot(step.name);
        }
    }
    return LogIsClean(p, failure);
}

}  // namespace wrenpost::testing

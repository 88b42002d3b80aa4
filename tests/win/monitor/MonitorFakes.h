// What the monitor tests over the fakes share: Ann's mailbox (store S1 with its Inbox F1), a
// profile watching that Inbox for chat 4242, and a fake Outlook serving a scenario.
#pragma once

#include <string>

#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {

inline const std::wstring kAnnInbox =
    ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
    ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"});

inline ProfileConfig InboxProfile() {
    ProfileConfig profile;
    profile.SelectedFolders = {{L"Inbox", L"\\\\Ann\\Inbox", L"F1", L"S1", L"", L"", 0}};
    profile.Recipients = {{L"4242", L"", true, L"", L"Never"}};
    return profile;
}

// Registers the fake, gives it `scenario` and starts it; empty once it serves, else why not.
inline std::string Serve(FakeOutlook& outlook, const std::wstring& scenario) {
    std::wstring error = L"the scenario could not be written";
    const bool serving =
        outlook.Register(error) && outlook.WriteScenario(scenario) && outlook.Start(error);
    return serving ? std::string() : WideToUtf8(error);
}

}  // namespace wrenpost::testing

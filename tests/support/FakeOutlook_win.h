// Test-side control of FakeOutlook.exe: registers it as Outlook.Application in the (throw-away)
// test prefix, writes its scenario, starts it, waits for it against a deadline, makes it hang
// and release, and stops it gracefully. Shared by the Outlook and monitor tests and benchmarks.
#pragma once

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "common/UniqueHandle_win.h"
#include "support/TempDir.h"

namespace wrenpost::testing {

// One scenario line: the record kind and its "key=value" fields, tab-separated.
std::wstring ScenarioLine(std::initializer_list<std::wstring> fields);

class FakeOutlook {
public:
    FakeOutlook();  // with an empty scenario in a temporary folder
    // With a scenario file that outlives this object (the playground's mailbox), left as it is.
    explicit FakeOutlook(std::filesystem::path scenario);
    ~FakeOutlook() { (void)Stop(); }
    FakeOutlook(const FakeOutlook&) = delete;
    FakeOutlook& operator=(const FakeOutlook&) = delete;

    // Writes HKLM\Software\Classes\Outlook.Application and the class's LocalServer32 (with the
    // scenario path as argument), so COM can also launch the fake by itself.
    [[nodiscard]] bool Register(std::wstring& error) const;
    // Removes the ProgID (the class key stays; without the ProgID nothing finds it).
    static void UnregisterProgId();

    // Replaces the scenario atomically; a running fake picks it up at its next namespace call.
    [[nodiscard]] bool WriteScenario(const std::wstring& text);
    const std::filesystem::path& ScenarioPath() const { return scenario_; }

    // Starts the exe (unless one is running) and waits until it serves requests.
    [[nodiscard]] bool Start(std::wstring& error);
    // Waits for a fake (also one COM started) to serve requests; 0 ms asks "is it running?".
    [[nodiscard]] bool WaitUntilReady(std::chrono::milliseconds timeout) const;
    // Asks the fake to leave (releasing any hang first) and waits until it has.
    [[nodiscard]] bool Stop();

    // A call to the scenario's hang member is blocked inside the fake.
    [[nodiscard]] bool WaitUntilHanging(std::chrono::milliseconds timeout) const;
    void ReleaseHang() { SetEvent(release_.get()); }

private:
    TempDir dir_;
    std::filesystem::path scenario_;
    std::wstring command_;
    UniqueHandle ready_, quit_, stopped_, hanging_, release_, process_;
};

}  // namespace wrenpost::testing

// Registering, starting, steering and stopping the fake Outlook.
#include "support/FakeOutlook_win.h"

#include "common/TextFile.h"
#include "common/WinError_win.h"
#include "fakes/outlook/FakeOutlookNames.h"

namespace wrenpost::testing {
namespace {

using namespace wrenpost::fake_outlook;
constexpr DWORD kTimeoutMs =
    60000;  // generous: wine under a loaded machine is slow to end a server

HANDLE NamedEvent(const wchar_t* name) {
    return CreateEventW(nullptr, TRUE, FALSE, name);
}

// FakeOutlook.exe beside the running program, or in the build's tests folder.
std::filesystem::path ExePath() {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::filesystem::path here = std::filesystem::path(module).parent_path();
    std::error_code ec;
    return std::filesystem::exists(here / L"FakeOutlook.exe", ec)
               ? here / L"FakeOutlook.exe"
               : here.parent_path() / L"tests" / L"FakeOutlook.exe";
}

}  // namespace

std::wstring ScenarioLine(std::initializer_list<std::wstring> fields) {
    std::wstring line;
    for (const std::wstring& field : fields) {
        line += (line.empty() ? L"" : L"\t") + field;
    }
    return line + L"\n";
}

FakeOutlook::FakeOutlook() : FakeOutlook(std::filesystem::path()) {
    (void)WriteScenario(L"");
}

FakeOutlook::FakeOutlook(std::filesystem::path scenario)
    : scenario_(scenario.empty() ? dir_ / L"scenario.txt" : std::move(scenario)),
      command_(L"\"" + ExePath().wstring() + L"\" \"" + scenario_.wstring() + L"\""),
      ready_(NamedEvent(kReadyEvent)),
      quit_(NamedEvent(kQuitEvent)),
      stopped_(NamedEvent(kStoppedEvent)),
      hanging_(NamedEvent(kHangingEvent)),
      release_(NamedEvent(kReleaseEvent)) {}

bool FakeOutlook::Register(std::wstring& error) const {
    const std::wstring clsid = std::wstring(L"Software\\Classes\\CLSID\\") + kClassIdText;
    const std::pair<std::wstring, std::wstring> values[] = {
        {L"Software\\Classes\\Outlook.Application\\CLSID", kClassIdText},
        {clsid + L"\\LocalServer32", command_},
        {clsid + L"\\ProgID", L"Outlook.Application"}};
    for (const auto& [key, value] : values) {
        const LSTATUS status =
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS) {
            error = L"cannot write HKLM\\" + key + L": " + DescribeWindowsError(DWORD(status));
            return false;
        }
    }
    return true;
}

void FakeOutlook::UnregisterProgId() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Outlook.Application");
}

bool FakeOutlook::WriteScenario(const std::wstring& text) {
    ResetEvent(hanging_.get());
    ResetEvent(release_.get());
    return WriteTextFileAtomically(scenario_, text);
}

bool FakeOutlook::WaitUntilReady(std::chrono::milliseconds timeout) const {
    return WaitForSingleObject(ready_.get(), DWORD(timeout.count())) == WAIT_OBJECT_0;
}

bool FakeOutlook::WaitUntilHanging(std::chrono::milliseconds timeout) const {
    return WaitForSingleObject(hanging_.get(), DWORD(timeout.count())) == WAIT_OBJECT_0;
}

bool FakeOutlook::Start(std::wstring& error) {
    if (WaitUntilReady(std::chrono::milliseconds(0))) {
        return true;
    }
    // On a loaded machine wine's COM service can refuse the first registration; a fake that left
    // early is started again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ResetEvent(quit_.get());
        ResetEvent(stopped_.get());
        std::wstring command = command_;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            error = L"cannot start " + command_ + L": " + DescribeWindowsError(GetLastError());
            return false;
        }
        CloseHandle(info.hThread);
        process_.reset(info.hProcess);
        HANDLE either[2] = {ready_.get(), process_.get()};
        const DWORD woke = WaitForMultipleObjects(2, either, FALSE, kTimeoutMs);
        if (woke == WAIT_OBJECT_0) {
            return true;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        error = woke == WAIT_OBJECT_0 + 1
                    ? L"the fake left early with exit code " + std::to_wstring(code)
                    : L"the fake did not get ready in time";
        if (woke != WAIT_OBJECT_0 + 1) {
            return false;
        }
    }
    return false;
}

bool FakeOutlook::Stop() {
    if (WaitUntilReady(std::chrono::milliseconds(0))) {
        SetEvent(release_.get());
        SetEvent(quit_.get());
        if (WaitForSingleObject(stopped_.get(), kTimeoutMs) != WAIT_OBJECT_0 ||
            (process_ && WaitForSingleObject(process_.get(), kTimeoutMs) != WAIT_OBJECT_0)) {
            return false;
        }
        ResetEvent(quit_.get());
    }
    process_.reset();
    return true;
}

}  // namespace wrenpost::testing

// Registering, starting, steering and stopping the fake Outlook.
#include "support/FakeOutlook_win.h"

#include "common/TextFile.h"
#include "common/WinError_win.h"
#include "fakes/outlook/FakeOutlookNames.h"

namespace wrenpost::testing {
namespace {

using namespace wrenpost::fake_outlook;

HANDLE NamedEvent(const wchar_t* name) {
    return CreateEventW(nullptr, TRUE, FALSE, name);
}

bool WaitFor(HANDLE event, std::chrono::milliseconds timeout) {
    return WaitForSingleObject(event, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

bool SetRegistryText(const std::wstring& key, const std::wstring& value, std::wstring& error) {
    UniqueRegKey handle;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, handle.put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(handle.get(), nullptr, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) {
        error = L"cannot write HKLM\\" + key + L": " + DescribeWindowsError(DWORD(status));
    }
    return status == ERROR_SUCCESS;
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

FakeOutlook::FakeOutlook()
    : scenario_(dir_ / L"scenario.txt"),
      ready_(NamedEvent(kReadyEvent)),
      quit_(NamedEvent(kQuitEvent)),
      stopped_(NamedEvent(kStoppedEvent)),
      hanging_(NamedEvent(kHangingEvent)),
      release_(NamedEvent(kReleaseEvent)) {
    (void)WriteScenario(L"");
}

FakeOutlook::~FakeOutlook() {
    (void)Stop();
}

std::wstring FakeOutlook::Command() const {
    return L"\"" + ExePath().wstring() + L"\" \"" + scenario_.wstring() + L"\"";
}

bool FakeOutlook::Register(std::wstring& error) const {
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring clsid = classes + L"CLSID\\" + kClassIdText;
    return SetRegistryText(classes + L"Outlook.Application", L"Outlook Application", error) &&
           SetRegistryText(classes + L"Outlook.Application\\CLSID", kClassIdText, error) &&
           SetRegistryText(clsid + L"\\LocalServer32", Command(), error) &&
           SetRegistryText(clsid + L"\\ProgID", L"Outlook.Application", error);
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
    return WaitFor(ready_.get(), timeout);
}

bool FakeOutlook::WaitUntilHanging(std::chrono::milliseconds timeout) const {
    return WaitFor(hanging_.get(), timeout);
}

bool FakeOutlook::Start(std::wstring& error, std::chrono::milliseconds timeout) {
    if (WaitUntilReady(std::chrono::milliseconds(0))) {
        return true;
    }
    ResetEvent(quit_.get());
    ResetEvent(stopped_.get());
    std::wstring command = Command();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        error = L"cannot start " + command + L": " + DescribeWindowsError(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    HANDLE either[2] = {ready_.get(), process_.get()};
    const DWORD woke = WaitForMultipleObjects(2, either, FALSE, DWORD(timeout.count()));
    if (woke != WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        error = woke == WAIT_OBJECT_0 + 1 ? L"the fake left with code " + std::to_wstring(code)
                                          : L"the fake did not get ready in time";
    }
    return woke == WAIT_OBJECT_0;
}

bool FakeOutlook::Stop(std::chrono::milliseconds timeout) {
    if (!WaitUntilReady(std::chrono::milliseconds(0))) {
        process_.reset();
        return true;
    }
    SetEvent(release_.get());
    SetEvent(quit_.get());
    bool stopped = WaitFor(stopped_.get(), timeout);
    if (stopped && process_) {
        stopped = WaitFor(process_.get(), timeout);
    }
    if (stopped) {
        ResetEvent(quit_.get());
        process_.reset();
    }
    return stopped;
}

}  // namespace wrenpost::testing

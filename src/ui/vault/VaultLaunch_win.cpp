#include "ui/vault/VaultLaunch_win.h"

#include "app/CommandLine.h"
#include "common/UniqueHandle_win.h"
#include "ui/main/WindowPrompt_win.h"
#include "vault/Handoff_win.h"

namespace wrenpost {

bool LaunchInstanceWithToken(HWND owner, const std::wstring& token) {
    std::wstring identifier;
    std::wstring error;
    if (!CreateHandoff(token, identifier, error)) {
        Tell(owner, L"Token Vault Error", L"Failed to prepare a secure token handoff:\n\n" + error,
             PromptIcon::Error);
        return false;
    }
    std::wstring executable(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, executable.data(),
                                        static_cast<DWORD>(executable.size()))) ==
           executable.size()) {
        executable.resize(executable.size() * 2);
    }
    executable.resize(length);
    std::wstring commandLine =
        L"\"" + executable + L"\" " + std::wstring(kVaultLaunchSwitch) + L" " + identifier;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (length == 0 || !CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr,
                                       FALSE, 0, nullptr, nullptr, &startup, &process)) {
        DeleteHandoff(identifier);
        Tell(owner, L"Token Vault Error", L"Failed to launch a new Wrenpost instance.",
             PromptIcon::Error);
        return false;
    }
    UniqueHandle thread(process.hThread);
    UniqueHandle started(process.hProcess);
    return true;
}

}  // namespace wrenpost

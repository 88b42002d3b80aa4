#include "app/LaunchAtStartup_win.h"

#include <windows.h>

#include <string>

#include "app/CommandLine.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Wrenpost";

}  // namespace

bool EnableLaunchAtStartup() {
    UniqueRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    // The switch makes a log-on start resume monitoring; a value without it (older builds)
    // still opens the window.
    const std::wstring quoted =
        L"\"" + std::wstring(path, length) + L"\" " + std::wstring(kStartupSwitch);
    const DWORD bytes = static_cast<DWORD>((quoted.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), kValueName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(quoted.c_str()), bytes) == ERROR_SUCCESS;
}

bool DisableLaunchAtStartup() {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, key.put()) != ERROR_SUCCESS) {
        return true;
    }
    return RegDeleteValueW(key.get(), kValueName) == ERROR_SUCCESS;
}

bool IsLaunchAtStartupEnabled() {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    BYTE buffer[1040];
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    return RegQueryValueExW(key.get(), kValueName, nullptr, &type, buffer, &size) == ERROR_SUCCESS;
}

}  // namespace wrenpost

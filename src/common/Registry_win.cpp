#include "common/Registry_win.h"

#include <windows.h>

#include <vector>

namespace wrenpost {

bool ReadUserRegistryString(std::wstring_view subKey, std::wstring_view valueName,
                            std::wstring& value) {
    const std::wstring key(subKey);
    const std::wstring name(valueName);
    const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD bytes = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), flags, nullptr, nullptr,
                         &bytes) != ERROR_SUCCESS) {
            return false;
        }
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), flags,
                                            nullptr, buffer.data(), &size);
        if (status == ERROR_MORE_DATA) {
            continue;  // the value grew between the two calls
        }
        if (status != ERROR_SUCCESS) {
            return false;
        }
        value.assign(buffer.data());
        return true;
    }
    return false;
}

Endpoint ConfiguredEndpoint(std::wstring_view valueName, std::wstring_view defaultUrl,
                            const LogFunction& log) {
    std::wstring configured;
    if (!ReadUserRegistryString(kWrenpostSettingsKey, valueName, configured)) {
        configured.clear();
    }
    std::wstring note;
    Endpoint endpoint = ResolveEndpoint(configured, defaultUrl, valueName, note);
    if (!note.empty() && log) {
        log(LogLevel::Warning, note);
    }
    return endpoint;
}

}  // namespace wrenpost

#include "app/CommandLine.h"

#include <cwctype>

namespace wrenpost {

std::wstring ParseVaultLaunchId(std::wstring_view commandLine) {
    const std::size_t at = commandLine.find(kVaultLaunchSwitch);
    if (at == std::wstring_view::npos) {
        return std::wstring();
    }
    std::size_t pos = at + kVaultLaunchSwitch.size();
    while (pos < commandLine.size() && std::iswspace(commandLine[pos])) {
        ++pos;
    }
    const std::size_t begin = pos;
    while (pos < commandLine.size() && !std::iswspace(commandLine[pos])) {
        ++pos;
    }
    return std::wstring(commandLine.substr(begin, pos - begin));
}

bool HasStartupSwitch(std::wstring_view commandLine) {
    std::size_t pos = 0;
    while (pos < commandLine.size()) {
        while (pos < commandLine.size() && std::iswspace(commandLine[pos])) {
            ++pos;
        }
        const std::size_t begin = pos;
        while (pos < commandLine.size() && !std::iswspace(commandLine[pos])) {
            ++pos;
        }
        if (commandLine.substr(begin, pos - begin) == kStartupSwitch) {
            return true;
        }
    }
    return false;
}

}  // namespace wrenpost

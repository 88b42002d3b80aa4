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

namespace {

std::vector<std::wstring_view> SplitArguments(std::wstring_view commandLine) {
    std::vector<std::wstring_view> arguments;
    std::size_t pos = 0;
    while (pos < commandLine.size()) {
        while (pos < commandLine.size() && std::iswspace(commandLine[pos])) {
            ++pos;
        }
        const std::size_t begin = pos;
        while (pos < commandLine.size() && !std::iswspace(commandLine[pos])) {
            ++pos;
        }
        if (pos > begin) {
            arguments.push_back(commandLine.substr(begin, pos - begin));
        }
    }
    return arguments;
}

// Digits of `base` only, no sign, no overflow past `limit`, not empty.
bool ParseNumber(std::wstring_view text, unsigned base, unsigned long long limit,
                 unsigned long long& value) {
    value = 0;
    for (const wchar_t c : text) {
        unsigned digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<unsigned>(c - L'0');
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = static_cast<unsigned>(c - L'a' + 10);
        } else if (base == 16 && c >= L'A' && c <= L'F') {
            digit = static_cast<unsigned>(c - L'A' + 10);
        } else {
            return false;
        }
        if (value > (limit - digit) / base) {
            return false;
        }
        value = value * base + digit;
    }
    return !text.empty();
}

bool IsDumpName(std::wstring_view name) {
    if (name.size() > 80 || !name.starts_with(L"Wrenpost-") || !name.ends_with(L".dmp")) {
        return false;
    }
    for (const wchar_t c : name) {
        if (!(std::iswalnum(c) || c == L'-' || c == L'.') || c > 0x7F) {
            return false;
        }
    }
    return name.find(L"..") == std::wstring_view::npos;
}

}  // namespace

bool HasStartupSwitch(std::wstring_view commandLine) {
    for (const std::wstring_view argument : SplitArguments(commandLine)) {
        if (argument == kStartupSwitch) {
            return true;
        }
    }
    return false;
}

bool ParseCrashDumpRequest(std::wstring_view commandLine, CrashDumpRequest& request) {
    const std::vector<std::wstring_view> arguments = SplitArguments(commandLine);
    unsigned long long process = 0;
    unsigned long long thread = 0;
    unsigned long long pointers = 0;
    if (arguments.size() != 5 || arguments[0] != kWriteCrashDumpSwitch ||
        !ParseNumber(arguments[1], 10, 0xFFFFFFFFull, process) || process == 0 ||
        !ParseNumber(arguments[2], 10, 0xFFFFFFFFull, thread) || thread == 0 ||
        !ParseNumber(arguments[3], 16, ~0ull, pointers) || pointers == 0 ||
        !IsDumpName(arguments[4])) {
        return false;
    }
    request = {static_cast<unsigned long>(process), static_cast<unsigned long>(thread), pointers,
               std::wstring(arguments[4])};
    return true;
}

}  // namespace wrenpost

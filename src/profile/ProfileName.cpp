// Checks of a profile name against the rules of Windows file names.
#include "profile/ProfileName.h"

#include <array>

namespace wrenpost {
namespace {

wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

// Windows also ignores spaces before the extension: "CON .txt" is the console.
bool IsReservedDeviceName(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.remove_suffix(1);
    }
    static constexpr std::array<std::wstring_view, 4> kPlain = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (const std::wstring_view reserved : kPlain) {
        if (EqualsIgnoringAsciiCase(stem, reserved)) {
            return true;
        }
    }
    if (stem.size() != 4 || !(EqualsIgnoringAsciiCase(stem.substr(0, 3), L"COM") ||
                              EqualsIgnoringAsciiCase(stem.substr(0, 3), L"LPT"))) {
        return false;
    }
    // The superscript digits count too.
    const wchar_t digit = stem[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
           digit == L'\u00B3';
}

}  // namespace

std::wstring ProfileNameProblem(std::wstring_view name) {
    for (const wchar_t c : name) {
        if (c < 0x20 || c == 0x7F) {
            return L"A Profile Name cannot contain control characters such as tabs or line "
                   L"breaks.";
        }
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) {
            return L"A Profile Name cannot contain any of these characters: \\ / : * ? \" < > |";
        }
    }
    if (!name.empty() && (name.back() == L'.' || name.back() == L' ')) {
        return L"A Profile Name cannot end with a dot or a space.";
    }
    if (IsReservedDeviceName(name)) {
        return L"\"" + std::wstring(name) +
               L"\" is a device name Windows reserves (CON, PRN, AUX, NUL, COM1-COM9, "
               L"LPT1-LPT9). Choose a different Profile Name.";
    }
    return {};
}

LoadedProfileName ProfileNameAtLoad(std::wstring_view inFile, std::wstring_view prefix) {
    LoadedProfileName loaded;
    loaded.name = prefix;
    // A name like "..\\..\\x" would otherwise place the rules file and the outbox outside the
    // profile folder.
    loaded.problem = ProfileNameProblem(inFile);
    if (loaded.problem.empty()) {
        loaded.problem = ProfileNameProblem(prefix);
    }
    if (loaded.problem.empty() && !inFile.empty() && inFile != prefix) {
        loaded.warning = L"The profile file names the profile \"" + std::wstring(inFile) +
                         L"\", but its files are named for \"" + std::wstring(prefix) +
                         L"\"; it is loaded as \"" + std::wstring(prefix) + L"\".";
    }
    return loaded;
}

}  // namespace wrenpost

// The fixed exclusion lists and the test applied to every discovered folder.
#include "outlook/FolderExclusion.h"

#include <array>
#include <cwctype>
#include <unordered_set>

namespace wrenpost {
namespace {

const std::unordered_set<std::wstring>& ExcludedNames() {
    // Built once per process; function-local statics are initialised thread-safely.
    static const std::unordered_set<std::wstring> names = {
        L"calendar",
        L"contacts",
        L"tasks",
        L"notes",
        L"journal",
        L"sync issues",
        L"server failures",
        L"local failures",
        L"conflicts",
        L"quick step settings",
        L"conversation action settings",
        L"externalcontacts",
        L"recipient cache",
        L"organizational contacts",
        L"gal contacts",
        L"companies",
        L"peoplecentricconversation buddies",
        L"social activity notifications",
        L"personmetadata",
        L"files",
        L"team chat",
    };
    return names;
}

// Without a trailing backslash the named folder and everything below it (and any sibling whose
// name merely starts with the word) is excluded; with one, only what lies below the folder.
constexpr std::array<std::wstring_view, 19> kExcludedPathFragments = {
    L"\\calendar",
    L"\\contacts",
    L"\\tasks",
    L"\\notes",
    L"\\journal",
    L"\\sync issues",
    L"\\yammer root",
    L"\\conversation action settings",
    L"\\quick step settings",
    L"\\externalcontacts",
    L"\\personmetadata",
    L"\\files",
    L"\\conversation history\\",
    L"\\deleted items\\",
    L"\\junk email\\",
    L"\\sent items\\",
    L"\\drafts\\",
    L"\\outbox\\",
    L"\\archive\\",
};

}  // namespace

std::wstring LowerCaseWide(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    }
    return lower;
}

bool IsExcludedFolder(const SelectedFolder& folder) {
    if (folder.Name.empty()) {
        return true;
    }
    if (ExcludedNames().count(LowerCaseWide(folder.Name)) != 0) {
        return true;
    }
    const std::wstring path = LowerCaseWide(folder.FolderPath);
    for (std::wstring_view fragment : kExcludedPathFragments) {
        if (path.find(fragment) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace wrenpost

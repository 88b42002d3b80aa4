// Directory scans and folder choices for profiles.
#include "profile/ProfileFolders.h"

#include <cwctype>
#include <system_error>

namespace wrenpost {
namespace {

constexpr std::wstring_view kConfigSuffix = L"Config.json";
constexpr std::wstring_view kRulesSuffix = L"Rules.json";

bool HasPrefixedSuffix(std::wstring_view name, std::wstring_view suffix) {
    return name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// Calls `visit` with each regular file directly in `folder` until it returns true; listing
// errors end the walk quietly, as an unreadable folder holds no profile we can use.
template <typename Visit>
bool AnyRegularFile(const std::filesystem::path& folder, Visit visit) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code statusError;
        if (it->is_regular_file(statusError) && visit(*it)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<FoundProfileConfig> FindProfileConfig(const std::filesystem::path& folder) {
    std::optional<FoundProfileConfig> found;
    AnyRegularFile(folder, [&](const std::filesystem::directory_entry& entry) {
        const std::wstring name = entry.path().filename().wstring();
        if (!HasPrefixedSuffix(name, kConfigSuffix)) {
            return false;
        }
        found =
            FoundProfileConfig{name.substr(0, name.size() - kConfigSuffix.size()), entry.path()};
        return true;
    });
    return found;
}

bool FolderHasProfileFiles(const std::filesystem::path& folder) {
    return AnyRegularFile(folder, [](const std::filesystem::directory_entry& entry) {
        const std::wstring name = entry.path().filename().wstring();
        return HasPrefixedSuffix(name, kConfigSuffix) || HasPrefixedSuffix(name, kRulesSuffix);
    });
}

bool SameProfileName(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<std::wint_t>(a[i])) !=
            std::towupper(static_cast<std::wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::filesystem::path ProfileFolderFor(const std::filesystem::path& profilesFolder,
                                       const std::filesystem::path& currentFolder,
                                       std::wstring_view name) {
    std::error_code failure;
    const std::wstring configName = std::wstring(name) + std::wstring(kConfigSuffix);
    if (!currentFolder.empty() && std::filesystem::exists(currentFolder / configName, failure)) {
        return currentFolder;
    }
    return profilesFolder / std::wstring(name);
}

std::filesystem::path SaveFolderFor(const std::filesystem::path& picked, std::wstring_view name) {
    const std::wstring text = picked.wstring();
    const std::size_t slash = text.find_last_of(L"\\/");
    const std::wstring_view last = slash == std::wstring::npos
                                       ? std::wstring_view(text)
                                       : std::wstring_view(text).substr(slash + 1);
    if (SameProfileName(last, name)) {
        return picked;
    }
    // A loaded profile's folder need not be named after it; writing a nested copy would leave
    // the folder the user chose with stale files.
    const std::optional<FoundProfileConfig> found = FindProfileConfig(picked);
    return found && SameProfileName(found->ProfileName, name) ? picked : picked / std::wstring(name);
}

std::optional<std::wstring> ConflictingProfile(const std::filesystem::path& folder,
                                               std::wstring_view name) {
    const std::optional<FoundProfileConfig> found = FindProfileConfig(folder);
    if (found && !SameProfileName(found->ProfileName, name)) {
        return found->ProfileName;
    }
    return std::nullopt;
}

}  // namespace wrenpost

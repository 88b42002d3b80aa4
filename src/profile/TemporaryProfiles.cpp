#include "profile/TemporaryProfiles.h"

#include <cwchar>
#include <system_error>
#include <vector>

#include "profile/ProfileCleanup.h"

namespace wrenpost {
namespace {

constexpr std::wstring_view kTemporaryPrefix = L"_Temp_";

bool ParseNumber(std::wstring_view text, int base, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty() || text.size() > 16) {
        return false;
    }
    value = 0;
    for (const wchar_t c : text) {
        int digit = -1;
        if (c >= L'0' && c <= L'9') {
            digit = c - L'0';
        } else if (base == 16 && c >= L'a' && c <= L'f') {
            digit = c - L'a' + 10;
        }
        if (digit < 0 || digit >= base ||
            value >
                (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base)) {
            return false;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return true;
}

}  // namespace

std::wstring SessionNameAt(const std::tm& local) {
    wchar_t name[64];
    std::swprintf(name, 64, L"Session_%04d%02d%02d_%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

std::wstring TemporaryProfileName(std::wstring_view sessionName) {
    return std::wstring(kTemporaryPrefix) + std::wstring(sessionName);
}

std::filesystem::path TemporaryProfileFolder(const std::filesystem::path& profilesFolder,
                                             std::wstring_view sessionName,
                                             const InstanceIdentity& owner) {
    wchar_t tag[48];
    std::swprintf(tag, 48, L"@%lu-%llx", static_cast<unsigned long>(owner.ProcessId),
                  static_cast<unsigned long long>(owner.StartTime));
    return profilesFolder / L"_Temporary" / (TemporaryProfileName(sessionName) + tag);
}

std::optional<InstanceIdentity> TemporaryProfileOwner(std::wstring_view folderName) {
    const std::size_t at = folderName.rfind(L'@');
    if (folderName.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix ||
        at == std::wstring_view::npos || at <= kTemporaryPrefix.size()) {
        return std::nullopt;
    }
    const std::wstring_view tag = folderName.substr(at + 1);
    const std::size_t dash = tag.find(L'-');
    std::uint64_t processId = 0;
    std::uint64_t startTime = 0;
    if (dash == std::wstring_view::npos ||
        !ParseNumber(tag.substr(0, dash), 10, 0xFFFFFFFFull, processId) ||
        !ParseNumber(tag.substr(dash + 1), 16, ~std::uint64_t{0}, startTime)) {
        return std::nullopt;
    }
    return InstanceIdentity{static_cast<std::uint32_t>(processId), startTime};
}

void CleanAbandonedTemporaryProfiles(const std::filesystem::path& profilesFolder,
                                     const std::function<bool(const InstanceIdentity&)>& isRunning,
                                     const LogFunction& log) {
    // Listed first, deleted afterwards: removing entries under a running listing is unsafe.
    std::vector<std::filesystem::path> abandoned;
    std::error_code error;
    std::filesystem::directory_iterator it(profilesFolder / L"_Temporary", error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code statusError;
        const std::optional<InstanceIdentity> owner =
            TemporaryProfileOwner(it->path().filename().wstring());
        if (owner && std::filesystem::is_directory(it->symlink_status(statusError)) &&
            !isRunning(*owner)) {
            abandoned.push_back(it->path());
        }
    }
    for (std::filesystem::path& folder : abandoned) {
        DeleteTemporaryProfile(folder, log);
    }
}

}  // namespace wrenpost

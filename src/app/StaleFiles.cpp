// Sweeping temporary files that dead writers and uncollected hand-offs left behind.
#include "app/StaleFiles.h"

#include <chrono>
#include <string>
#include <system_error>

#include "vault/Handoff.h"

namespace wrenpost {
namespace {

bool AllDigits(std::wstring_view text) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

bool Remove(const std::filesystem::path& path, const LogFunction& log) {
    std::error_code error;
    if (std::filesystem::remove(path, error)) {
        return true;
    }
    if (error && log) {
        log(LogLevel::Warning, L"Could not remove the stale temporary file " + path.wstring());
    }
    return false;
}

}  // namespace

std::optional<std::uint32_t> TemporarySiblingWriter(std::wstring_view name) {
    constexpr std::wstring_view kSuffix = L".tmp";
    if (!name.ends_with(kSuffix)) {
        return std::nullopt;
    }
    name.remove_suffix(kSuffix.size());
    const std::size_t dash = name.rfind(L'-');
    const std::size_t dot = name.rfind(L'.', dash == std::wstring_view::npos ? 0 : dash);
    if (dash == std::wstring_view::npos || dot == std::wstring_view::npos || dot >= dash ||
        !AllDigits(name.substr(dot + 1, dash - dot - 1)) || !AllDigits(name.substr(dash + 1))) {
        return std::nullopt;
    }
    const std::wstring_view file = name.substr(0, dot);
    const std::size_t extension = file.rfind(L'.');
    if (extension == std::wstring_view::npos || extension == 0 || extension + 1 == file.size()) {
        return std::nullopt;
    }
    const unsigned long long pid = std::stoull(std::wstring(name.substr(dot + 1, dash - dot - 1)));
    if (pid > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(pid);
}

std::size_t SweepStaleTemporarySiblings(const std::filesystem::path& folder, int depth,
                                        const std::function<bool(std::uint32_t)>& isRunning,
                                        const LogFunction& log) {
    std::size_t removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind) && !it->is_symlink(kind)) {
            if (depth > 0) {
                removed += SweepStaleTemporarySiblings(it->path(), depth - 1, isRunning, log);
            }
            continue;
        }
        const auto writer = TemporarySiblingWriter(it->path().filename().wstring());
        if (writer && it->is_regular_file(kind) && !isRunning(*writer) && Remove(it->path(), log)) {
            ++removed;
        }
    }
    if (removed > 0 && log) {
        log(LogLevel::Info, L"Removed " + std::to_wstring(removed) +
                                L" temporary file(s) left by an earlier run in " + folder.wstring());
    }
    return removed;
}

std::size_t SweepExpiredHandoffs(const std::filesystem::path& folder,
                                 std::filesystem::file_time_type now, const LogFunction& log) {
    const std::wstring prefix = HandoffFileName(L"");  // "VaultLaunch_.tmp" without an id
    const std::wstring head = prefix.substr(0, prefix.find(L".tmp"));
    std::size_t removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::wstring name = it->path().filename().wstring();
        if (!name.starts_with(head) || !name.ends_with(L".tmp") ||
            !IsValidHandoffId(name.substr(head.size(), name.size() - head.size() - 4))) {
            continue;
        }
        std::error_code timeError;
        const auto written = std::filesystem::last_write_time(it->path(), timeError);
        if (timeError) {
            continue;
        }
        const auto age = std::chrono::duration_cast<std::chrono::seconds>(now - written).count();
        if ((age > kHandoffLifetimeSeconds || age < -5) && Remove(it->path(), log)) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace wrenpost

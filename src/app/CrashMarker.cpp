#include "app/CrashMarker.h"

#include <algorithm>

#include "common/Text.h"

namespace wrenpost {
namespace {

constexpr std::wstring_view kProfileKey = L"Profile=";
constexpr std::wstring_view kStatusKey = L"StatusFile=";

bool IsDumpName(std::wstring_view name) {
    return name.size() > 13 && name.starts_with(L"Wrenpost-") && name.ends_with(L".dmp");
}

}  // namespace

std::string FormatCrashMarkerHead(std::wstring_view profileName, std::wstring_view statusFile) {
    return "\xEF\xBB\xBF" + WideToUtf8(kProfileKey) + WideToUtf8(profileName) + "\r\n" +
           WideToUtf8(kStatusKey) + WideToUtf8(statusFile) + "\r\n";
}

CrashMarker ParseCrashMarker(std::wstring_view text) {
    CrashMarker marker;
    const std::wstring dumpKey = Utf8ToWide(kCrashMarkerDumpKey);
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(L'\n'), text.size());
        std::wstring_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with(L'\r')) {
            line.remove_suffix(1);
        }
        if (line.starts_with(kProfileKey)) {
            marker.ProfileName = line.substr(kProfileKey.size());
        } else if (line.starts_with(kStatusKey)) {
            marker.StatusFile = line.substr(kStatusKey.size());
        } else if (line.starts_with(dumpKey)) {
            marker.DumpFile = line.substr(dumpKey.size());
        }
    }
    return marker;
}

std::vector<std::wstring> CrashDumpsToRemove(std::vector<std::wstring> names, std::size_t keep) {
    std::erase_if(names, [](const std::wstring& name) { return !IsDumpName(name); });
    std::sort(names.begin(), names.end());
    names.resize(names.size() > keep ? names.size() - keep : 0);
    return names;
}

}  // namespace wrenpost

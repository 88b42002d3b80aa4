// The update manifest: version texts, the installer file-name rule and the strict validation of
// the document the update service returns. Nothing of a manifest is used unless all of it is valid.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

struct Version {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;

    friend auto operator<=>(const Version&, const Version&) = default;
};

// Exactly three dot-separated parts of 1 to 9 ASCII digits, without leading zeros ("0" itself
// is fine).
[[nodiscard]] bool ParseVersionText(std::string_view text, Version& out);
// "major.minor.patch" in decimal.
std::wstring VersionText(const Version& version);

// 1 to 128 characters of a-z A-Z 0-9 - . _, no "..", ending in ".exe" in any letter case.
bool IsValidInstallerFileName(std::string_view name);
// Exactly 64 lower-case hexadecimal digits.
bool IsValidSha256Hex(std::string_view text);

inline constexpr std::uint64_t kMaxInstallerSizeBytes = 524'288'000;  // 500 MiB
inline constexpr std::size_t kMaxReleaseNotes = 20;
inline constexpr std::size_t kMaxReleaseNoteBytes = 200;

struct UpdateManifest {
    Version latestVersion;
    std::string latestVersionText;
    Version minimumSupportedVersion;
    std::string minimumSupportedVersionText;
    std::string downloadPagePath;
    std::string installerFileName;
    std::uint64_t installerSizeBytes = 0;
    std::string installerSha256;
    std::vector<std::string> releaseNotes;  // UTF-8
};

// Parses and checks the whole document; on failure `error` names the first broken rule.
[[nodiscard]] bool ParseUpdateManifest(std::string_view body, UpdateManifest& out,
                                       std::string& error);

}  // namespace wrenpost

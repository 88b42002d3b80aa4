// The Windows side of the update check: where the update service is (build default or per-user
// registry override), the WinHTTP exchange with it, and the version of the running program.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "common/HttpClient.h"
#include "update/UpdateChecker.h"
#include "update/UpdateEndpoint.h"

namespace wrenpost {

// HKEY_CURRENT_USER\Software\Wrenpost, value UpdateServiceBaseUrl.
inline constexpr wchar_t kWrenpostRegistryKey[] = L"Software\\Wrenpost";
inline constexpr wchar_t kUpdateServiceBaseUrlValue[] = L"UpdateServiceBaseUrl";

// The per-user override when present and non-empty, otherwise the address the build was made
// with.
std::wstring UpdateServiceBaseUrl();

// An override that is not a valid address fails here rather than falling back silently: the user
// asked for a particular service, and a typo must not send the request somewhere else.
[[nodiscard]] bool ResolveUpdateEndpoint(UpdateEndpoint& out, std::wstring& error);

// One GET of the manifest path; user agent "Wrenpost-UpdateChecker/1.0", every time-out 5 s,
// the whole within the deadline, the body capped at kMaxManifestBytes.
UpdateChecker::HttpFetchResult FetchUpdateManifestFrom(
    const UpdateEndpoint& endpoint, std::chrono::milliseconds deadline = kDefaultHttpDeadline);

// Major, minor and patch of a file's fixed version information (the fourth number is ignored).
std::optional<Version> ReadFileVersion(const std::wstring& path);
// The same for the running program's own file; nothing when its path has 260 characters or more.
std::optional<Version> ReadProgramVersion();

}  // namespace wrenpost

// The update check: one HTTP exchange with the update service (replaceable, so the check itself
// is portable), strict validation of the answer, and the comparison with the running version.
// Also the decision of what the main window does with a result, including the postponement of a
// version the user chose "Later" for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "update/UpdateManifest.h"

namespace wrenpost {

enum class UpdateOutcome : int { UpdateAvailable = 0, UpToDate = 1, CheckFailed = 2 };

struct UpdateCheckResult {
    UpdateOutcome outcome = UpdateOutcome::CheckFailed;
    Version currentVersion;
    std::wstring currentVersionText;
    // The manifest fields below are filled only for UpdateAvailable.
    Version latestVersion;
    std::wstring latestVersionText;
    Version minimumSupportedVersion;  // carried along, not acted on
    std::wstring downloadPagePath;
    std::wstring installerFileName;
    std::uint64_t installerSizeBytes = 0;
    std::wstring installerSha256;
    std::vector<std::wstring> releaseNotes;
    bool manual = false;
    // Why the check failed, for the activity log; empty otherwise.
    std::string failureReason;
};

// Largest response body accepted; a larger one arrives as an empty body.
inline constexpr std::size_t kMaxManifestBytes = 65'536;

class UpdateChecker {
public:
    struct HttpFetchResult {
        bool ok = false;  // a response was received
        std::uint32_t statusCode = 0;
        std::string contentType;  // UTF-8, lower-cased; empty when absent
        std::string body;         // empty when the body was larger than kMaxManifestBytes
        std::string failure{};    // why no response was received, when known
    };
    using FetchFunction = std::function<HttpFetchResult()>;

    // Without a current version (the program's own version could not be read) the check fails
    // without fetching. The result's manual flag is left false.
    static UpdateCheckResult CheckForUpdates(const FetchFunction& fetch,
                                             const std::optional<Version>& currentVersion);

#ifdef _WIN32
    // GET /api/updates/windows/latest from the configured update service over WinHTTP.
    static HttpFetchResult FetchLatestManifest();
#endif
};

// What the main window does when a result arrives.
enum class UpdateResultAction { Nothing, ShowUnableToCheck, ShowUpToDate, ShowUpdateWindow };

inline constexpr std::int64_t kUpdatePostponeSeconds = 86'399;

// An automatic check stays silent about the version the user postponed until more than
// kUpdatePostponeSeconds have passed; manual checks always answer. The two AppState values are
// passed in as they were loaded.
UpdateResultAction DecideUpdateResultAction(const UpdateCheckResult& result,
                                            const std::wstring& lastDismissedVersion,
                                            std::int64_t lastDismissedAtEpochSeconds,
                                            const Clock& clock);

// Texts and caption of the manual check's boxes (information icon).
inline constexpr wchar_t kCheckForUpdatesCaption[] = L"Check for Updates";
inline constexpr wchar_t kUnableToCheckText[] = L"Unable to check for updates right now.";
inline constexpr wchar_t kUpToDateText[] = L"You\u2019re up to date.";

}  // namespace wrenpost

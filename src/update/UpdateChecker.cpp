// The portable half of the update check and the result decision; see UpdateChecker.h.
#include "update/UpdateChecker.h"

#include <string>
#include <utility>

#include "common/SafeText.h"
#include "common/Text.h"

namespace wrenpost {
namespace {

bool IsJsonContentType(const std::string& lowerCased) {
    return lowerCased.find("application/json") != std::string::npos;
}

UpdateCheckResult Failed(UpdateCheckResult result, std::string reason) {
    result.outcome = UpdateOutcome::CheckFailed;
    result.failureReason = std::move(reason);
    return result;
}

}  // namespace

UpdateCheckResult UpdateChecker::CheckForUpdates(const FetchFunction& fetch,
                                                 const std::optional<Version>& currentVersion) {
    UpdateCheckResult result;
    if (!currentVersion) {
        return Failed(std::move(result), "the program's own version could not be read");
    }
    result.currentVersion = *currentVersion;
    result.currentVersionText = VersionText(*currentVersion);

    const HttpFetchResult response = fetch();
    if (!response.ok) {
        return Failed(std::move(result), response.failure.empty()
                                             ? "no response from the update service"
                                             : response.failure);
    }
    if (response.statusCode != 200) {
        return Failed(std::move(result),
                      "update service answered with status " + std::to_string(response.statusCode));
    }
    // The fetch lower-cases the header already; a replacement fetch may not, and the rule is
    // case-blind anyway.
    std::string contentType = response.contentType;
    for (char& c : contentType) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (!IsJsonContentType(contentType)) {
        return Failed(std::move(result), "update service did not answer with JSON");
    }
    if (response.body.empty() || response.body.size() > kMaxManifestBytes) {
        return Failed(std::move(result), "manifest is empty or too large");
    }
    UpdateManifest manifest;
    std::string error;
    if (!ParseUpdateManifest(response.body, manifest, error)) {
        return Failed(std::move(result), error);
    }
    if (manifest.latestVersion <= *currentVersion) {
        result.outcome = UpdateOutcome::UpToDate;
        return result;
    }
    result.outcome = UpdateOutcome::UpdateAvailable;
    result.latestVersion = manifest.latestVersion;
    result.latestVersionText = Latin1ToWide(manifest.latestVersionText);
    result.minimumSupportedVersion = manifest.minimumSupportedVersion;
    result.downloadPagePath = Latin1ToWide(manifest.downloadPagePath);
    result.installerFileName = Latin1ToWide(manifest.installerFileName);
    result.installerSizeBytes = manifest.installerSizeBytes;
    result.installerSha256 = Latin1ToWide(manifest.installerSha256);
    for (const std::string& note : manifest.releaseNotes) {
        result.releaseNotes.push_back(StripUnsafeText(Utf8ToWide(note)));
    }
    return result;
}

UpdateResultAction DecideUpdateResultAction(const UpdateCheckResult& result,
                                            const std::wstring& lastDismissedVersion,
                                            std::int64_t lastDismissedAtEpochSeconds,
                                            const Clock& clock) {
    if (result.manual) {
        switch (result.outcome) {
            case UpdateOutcome::UpdateAvailable:
                return UpdateResultAction::ShowUpdateWindow;
            case UpdateOutcome::UpToDate:
                return UpdateResultAction::ShowUpToDate;
            case UpdateOutcome::CheckFailed:
                return UpdateResultAction::ShowUnableToCheck;
        }
        return UpdateResultAction::ShowUnableToCheck;
    }
    if (result.outcome != UpdateOutcome::UpdateAvailable) {
        return UpdateResultAction::Nothing;
    }
    if (lastDismissedVersion.empty() || lastDismissedVersion != result.latestVersionText) {
        return UpdateResultAction::ShowUpdateWindow;
    }
    const std::int64_t now = ToUnixSeconds(clock.Now());
    // A postponement stamped in the future (the clock was wrong then or was set back since)
    // cannot be measured; honouring it could hide the version for years, so it lapses.
    if (lastDismissedAtEpochSeconds > now) {
        return UpdateResultAction::ShowUpdateWindow;
    }
    // Unsigned difference: exact for any pair with at <= now, even at the extremes of int64.
    const std::uint64_t elapsed =
        static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(lastDismissedAtEpochSeconds);
    return elapsed > static_cast<std::uint64_t>(kUpdatePostponeSeconds)
               ? UpdateResultAction::ShowUpdateWindow
               : UpdateResultAction::Nothing;
}

}  // namespace wrenpost

// The update check from response to outcome, and what the main window is told to do with the
// result: the manual boxes, and the 24-hour postponement of a version the user put off; the
// service address (the shared endpoint rules narrowed to a scheme, a host and a port).
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "ManifestBuilder.h"
#include "support/FakeClock.h"
#include "update/UpdateChecker.h"
#include "update/UpdateEndpoint.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::Manifest;
using Fetch = UpdateChecker::HttpFetchResult;

constexpr Version kCurrent{1, 2, 0};

Fetch Response(std::string body, std::string contentType = "application/json; charset=utf-8",
               std::uint32_t status = 200) {
    return Fetch{true, status, std::move(contentType), std::move(body)};
}

UpdateCheckResult Check(const Fetch& response, std::optional<Version> current = kCurrent) {
    return UpdateChecker::CheckForUpdates([&] { return response; }, current);
}

std::string ManifestFor(const std::string& latest) {
    return Manifest({{"latestVersion", testing::Quoted(latest)}});
}

TEST(UpdateCheckOutcome, AHigherVersionIsAvailableAndAnEqualOrLowerOneIsUpToDate) {
    const UpdateCheckResult result = Check(
        Response(Manifest({{"latestVersion", "\"1.10.0\""},
                           {"releaseNotes", "[\"Caf\xC3\xA9 support\",\"\\u00e9 escaped\"]"}})));
    ASSERT_EQ(result.outcome, UpdateOutcome::UpdateAvailable) << result.failureReason;
    EXPECT_EQ(result.currentVersion, kCurrent);
    EXPECT_EQ(result.currentVersionText + L" " + result.latestVersionText, L"1.2.0 1.10.0");
    EXPECT_EQ(result.latestVersion, (Version{1, 10, 0}));
    EXPECT_EQ(result.minimumSupportedVersion, (Version{1, 0, 0}));
    EXPECT_EQ(result.downloadPagePath + result.installerFileName + result.installerSha256,
              L"/downloadWrenpostSetup-1.2.0.exe" + std::wstring(64, L'a'));
    EXPECT_EQ(result.installerSizeBytes, 12345678u);
    EXPECT_EQ(result.releaseNotes, (std::vector<std::wstring>{L"Caf\u00e9 support", L"? escaped"}));
    for (const auto& [latest, current] :
         {std::pair{"1.2.0", kCurrent}, std::pair{"1.1.99", kCurrent},
          std::pair{"1.9.9", Version{1, 10, 0}}}) {
        const UpdateCheckResult result = Check(Response(ManifestFor(latest)), current);
        EXPECT_EQ(result.outcome, UpdateOutcome::UpToDate) << latest;
        EXPECT_EQ(result.currentVersionText, VersionText(current));
        EXPECT_TRUE(result.latestVersionText.empty());
    }
}

TEST(UpdateCheckResponse, NeedsStatus200AJsonTypeAndAValidBodyOfAtMost65536Bytes) {
    const std::string valid = ManifestFor("9.0.0");
    std::string largest = valid;
    largest.resize(kMaxManifestBytes, ' ');  // whitespace keeps the document valid at any size
    Fetch none = Response(valid);
    none.ok = false;
    const std::pair<Fetch, bool> rows[] = {
        {Response(valid), true},
        {Response(valid, "APPLICATION/JSON;charset=UTF-8"), true},
        {Response(valid, "application/json;v=2"), true},
        {Response(largest), true},
        {none, false},
        {Response(valid, "application/json", 404), false},
        {Response(valid, ""), false},
        {Response(valid, "text/html; charset=utf-8"), false},
        {Response(valid, "application/jso"), false},
        {Response(""), false},
        {Response(largest + " "), false},
        {Response(Manifest({{"latestVersion", "\"9.0.0\""}, {"schemaVersion", "2"}})), false},
    };
    for (const auto& [fetch, available] : rows) {
        const UpdateCheckResult result = Check(fetch);
        EXPECT_EQ(result.outcome,
                  available ? UpdateOutcome::UpdateAvailable : UpdateOutcome::CheckFailed)
            << fetch.statusCode << " " << fetch.contentType << " " << fetch.body.size();
        EXPECT_EQ(result.failureReason.empty(), available);
        EXPECT_EQ(result.latestVersionText.empty(), !available);
    }
}

class UpdatePostponement : public ::testing::Test {
protected:
    UpdateResultAction Decide(UpdateOutcome outcome, bool manual = false,
                              const std::wstring& latest = L"1.3.0") const {
        UpdateCheckResult result;
        result.outcome = outcome;
        result.latestVersionText = latest;
        result.manual = manual;
        return DecideUpdateResultAction(result, dismissedVersion_, dismissedAt_, clock_);
    }
    void PostponeNow(const std::wstring& version) {
        dismissedVersion_ = version;
        dismissedAt_ = ToUnixSeconds(clock_.Now());
    }

    FakeClock clock_;
    std::wstring dismissedVersion_;
    std::int64_t dismissedAt_ = 0;
};

constexpr auto kAvailable = UpdateOutcome::UpdateAvailable;

TEST_F(UpdatePostponement, APostponedVersionStaysSilentForADayOnAutomaticChecks) {
    // Manual checks always answer, automatic ones only for an update.
    EXPECT_EQ(Decide(UpdateOutcome::UpToDate, true), UpdateResultAction::ShowUpToDate);
    EXPECT_EQ(Decide(UpdateOutcome::CheckFailed, true), UpdateResultAction::ShowUnableToCheck);
    EXPECT_EQ(Decide(UpdateOutcome::UpToDate), UpdateResultAction::Nothing);
    EXPECT_EQ(Decide(UpdateOutcome::CheckFailed), UpdateResultAction::Nothing);
    EXPECT_EQ(Decide(kAvailable), UpdateResultAction::ShowUpdateWindow);
    PostponeNow(L"1.3.0");
    EXPECT_EQ(Decide(kAvailable), UpdateResultAction::Nothing);
    EXPECT_EQ(Decide(kAvailable, true), UpdateResultAction::ShowUpdateWindow);  // manual answers
    EXPECT_EQ(Decide(kAvailable, false, L"1.4.0"), UpdateResultAction::ShowUpdateWindow);
    clock_.Advance(std::chrono::seconds(86'399));
    EXPECT_EQ(Decide(kAvailable), UpdateResultAction::Nothing);
    clock_.Advance(std::chrono::seconds(1));
    EXPECT_EQ(Decide(kAvailable), UpdateResultAction::ShowUpdateWindow);
}

TEST_F(UpdatePostponement, ATimeStampFromTheFutureOrOutOfRangeHidesNothing) {
    PostponeNow(L"1.3.0");
    for (const std::int64_t at : {dismissedAt_ + 3600, std::numeric_limits<std::int64_t>::max(),
                                  std::numeric_limits<std::int64_t>::min()}) {
        dismissedAt_ = at;
        EXPECT_EQ(Decide(kAvailable), UpdateResultAction::ShowUpdateWindow) << at;
    }
    PostponeNow(L"");
    EXPECT_EQ(Decide(kAvailable, false, L""), UpdateResultAction::ShowUpdateWindow);
}

UpdateEndpoint Parsed(const std::wstring& url) {
    UpdateEndpoint endpoint;
    std::wstring error;
    EXPECT_TRUE(ParseUpdateEndpoint(url, endpoint, error)) << std::string(url.begin(), url.end());
    return endpoint;
}

TEST(UpdateEndpoint, SchemeHostAndPortOnlyAndTheAddressOmitsTheDefaultPort) {
    const UpdateEndpoint endpoint = Parsed(L"HTTPS://updates.example.com:8443/");
    EXPECT_TRUE(endpoint.secure);
    EXPECT_EQ(endpoint.host, L"updates.example.com");
    EXPECT_EQ(endpoint.port, 8443);
    EXPECT_FALSE(Parsed(L"http://localhost").secure);
    for (const wchar_t* url : {L"https://host/path", L"http://updates.example.com", L"not a url"}) {
        UpdateEndpoint refused;
        std::wstring error;
        EXPECT_FALSE(ParseUpdateEndpoint(url, refused, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"https://u.example.com/"), L"/download"),
              L"https://u.example.com/download");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"http://127.0.0.1:5000"), kUpdateManifestPath),
              L"http://127.0.0.1:5000/api/updates/windows/latest");
    EXPECT_EQ(UpdateServiceAddress(Parsed(L"http://[::1]:80"), L"/x"), L"http://[::1]/x");
}

}  // namespace
}  // namespace wrenpost

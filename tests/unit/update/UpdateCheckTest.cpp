// The update check from response to outcome, the postponement rule and the service address.
#include <gtest/gtest.h>

#include "ManifestBuilder.h"
#include "common/Text.h"
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

UpdateCheckResult Check(const Fetch& response) {
    return UpdateChecker::CheckForUpdates([&] { return response; }, kCurrent);
}

std::string ManifestFor(const std::string& latest) {
    return Manifest({{"latestVersion", testing::Quoted(latest)}});
}

TEST(UpdateCheckOutcome, AHigherVersionIsAvailableAndAnEqualOrLowerOneIsUpToDate) {
    const UpdateCheckResult result = Check(
        Response(Manifest({{"latestVersion", "\"1.10.0\""},
                           {"releaseNotes", "[\"Caf\xC3\xA9 support\",\"\\u00e9 escaped\"]"}})));
    ASSERT_EQ(result.outcome, UpdateOutcome::UpdateAvailable) << result.failureReason;
    EXPECT_EQ(result.currentVersionText + L" " + result.latestVersionText, L"1.2.0 1.10.0");
    EXPECT_TRUE(result.latestVersion == (Version{1, 10, 0}) &&
                result.minimumSupportedVersion == (Version{1, 0, 0}));
    EXPECT_EQ(result.downloadPagePath + result.installerFileName + result.installerSha256,
              L"/downloadWrenpostSetup-1.2.0.exe" + std::wstring(64, L'a'));
    EXPECT_EQ(result.installerSizeBytes, 12345678u);
    EXPECT_EQ(result.releaseNotes, (std::vector<std::wstring>{L"Caf\u00e9 support", L"? escaped"}));
    for (const char* latest : {"1.2.0", "1.1.99"}) {
        EXPECT_EQ(Check(Response(ManifestFor(latest))).outcome, UpdateOutcome::UpToDate) << latest;
    }
    // Without the program's own version nothing is fetched.
    EXPECT_EQ(UpdateChecker::CheckForUpdates([]() -> Fetch { throw 1; }, std::nullopt).outcome,
              UpdateOutcome::CheckFailed);
}

TEST(UpdateCheckResponse, NeedsStatus200AJsonTypeAndAValidBodyOfAtMost65536Bytes) {
    const std::string valid = ManifestFor("9.0.0");
    std::string largest = valid;
    largest.resize(kMaxManifestBytes, ' ');  // whitespace keeps the document valid at any size
    const std::pair<Fetch, bool> rows[] = {
        {Response(valid, "APPLICATION/JSON;charset=UTF-8"), true},
        {Response(largest), true},
        {Fetch{false, 200, "application/json", valid}, false},
        {Response(valid, "application/json", 404), false},
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
    }
}

TEST(UpdatePostponement, APostponedVersionStaysSilentForADayOnAutomaticChecksOnly) {
    const FakeClock clock;
    const std::int64_t now = ToUnixSeconds(clock.Now());
    constexpr auto kNew = UpdateOutcome::UpdateAvailable;
    constexpr auto kShow = UpdateResultAction::ShowUpdateWindow;
    constexpr auto kNothing = UpdateResultAction::Nothing;
    // outcome, manual, latest version, postponed version and when, what the window does
    const std::tuple<UpdateOutcome, bool, const wchar_t*, const wchar_t*, std::int64_t,
                     UpdateResultAction>
        rows[] = {
            {UpdateOutcome::UpToDate, true, L"1.3.0", L"", 0, UpdateResultAction::ShowUpToDate},
            {UpdateOutcome::CheckFailed, true, L"", L"", 0, UpdateResultAction::ShowUnableToCheck},
            {UpdateOutcome::UpToDate, false, L"1.3.0", L"", 0, kNothing},
            {UpdateOutcome::CheckFailed, false, L"1.3.0", L"", 0, kNothing},
            {kNew, false, L"1.3.0", L"", 0, kShow},
            {kNew, false, L"1.3.0", L"1.3.0", now, kNothing},
            {kNew, true, L"1.3.0", L"1.3.0", now, kShow},
            {kNew, false, L"1.4.0", L"1.3.0", now, kShow},
            {kNew, false, L"1.3.0", L"1.3.0", now - 86'399, kNothing},
            {kNew, false, L"1.3.0", L"1.3.0", now - 86'400, kShow},
            // A time stamp from the future or out of range hides nothing.
            {kNew, false, L"1.3.0", L"1.3.0", now + 3600, kShow},
            {kNew, false, L"1.3.0", L"1.3.0", INT64_MAX, kShow},
            {kNew, false, L"1.3.0", L"1.3.0", INT64_MIN, kShow},
            {kNew, false, L"", L"", now, kShow},
        };
    for (const auto& [outcome, manual, latest, postponed, at, action] : rows) {
        UpdateCheckResult result;
        result.outcome = outcome;
        result.manual = manual;
        result.latestVersionText = latest;
        EXPECT_EQ(DecideUpdateResultAction(result, postponed, at, clock), action) << at;
    }
}

TEST(UpdateEndpoint, SchemeHostAndPortOnlyAndTheAddressOmitsTheDefaultPort) {
    const auto address = [](const std::wstring& url, const std::wstring& path) {
        UpdateEndpoint endpoint;
        std::wstring error;
        return ParseUpdateEndpoint(url, endpoint, error) ? UpdateServiceAddress(endpoint, path)
                                                         : L"refused: " + error;
    };
    EXPECT_EQ(address(L"HTTPS://u.example.com:8443/", L"/download"),
              L"https://u.example.com:8443/download");
    EXPECT_EQ(address(L"http://[::1]:80", L"/x"), L"http://[::1]/x");
    EXPECT_EQ(address(L"https://host/path", L"/"),
              L"refused: The update service address must be a scheme and a host only.");
}

}  // namespace
}  // namespace wrenpost

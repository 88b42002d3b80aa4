// The update check from response to outcome, and what the main window is told to do with the
// result: the manual boxes, and the 24-hour postponement of a version the user put off.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "ManifestBuilder.h"
#include "support/FakeClock.h"
#include "update/UpdateChecker.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::ManifestBuilder;
using Fetch = UpdateChecker::HttpFetchResult;

constexpr Version kCurrent{1, 2, 0};

Fetch Response(std::string body, std::string contentType = "application/json; charset=utf-8",
               std::uint32_t status = 200) {
    Fetch fetch;
    fetch.ok = true;
    fetch.statusCode = status;
    fetch.contentType = std::move(contentType);
    fetch.body = std::move(body);
    return fetch;
}

UpdateCheckResult Check(const Fetch& response, std::optional<Version> current = kCurrent) {
    return UpdateChecker::CheckForUpdates([&] { return response; }, current);
}

std::string ManifestFor(const std::string& latest) {
    return ManifestBuilder().SetText("latestVersion", latest).Build();
}

TEST(UpdateCheckOutcome, HigherVersionIsAvailableWithEveryManifestField) {
    const UpdateCheckResult result =
        Check(Response(ManifestBuilder()
                           .SetText("latestVersion", "1.10.0")
                           .Set("releaseNotes", "[\"Caf\xC3\xA9 support\",\"\\u00e9 escaped\"]")
                           .Build()));
    ASSERT_EQ(result.outcome, UpdateOutcome::UpdateAvailable) << result.failureReason;
    EXPECT_EQ(result.currentVersion, kCurrent);
    EXPECT_EQ(result.currentVersionText, L"1.2.0");
    EXPECT_EQ(result.latestVersion, (Version{1, 10, 0}));
    EXPECT_EQ(result.latestVersionText, L"1.10.0");
    EXPECT_EQ(result.installerFileName, L"WrenpostSetup-1.2.0.exe");
    EXPECT_EQ(result.installerSha256, std::wstring(64, L'a'));
    EXPECT_EQ(result.releaseNotes, (std::vector<std::wstring>{L"Caf\u00e9 support", L"? escaped"}));
}

TEST(UpdateCheckOutcome, EqualOrLowerVersionIsUpToDate) {
    EXPECT_EQ(Check(Response(ManifestFor("1.2.0"))).outcome, UpdateOutcome::UpToDate);
    EXPECT_EQ(Check(Response(ManifestFor("1.1.99"))).outcome, UpdateOutcome::UpToDate);
    EXPECT_EQ(Check(Response(ManifestFor("1.10.0")), Version{1, 10, 0}).outcome,
              UpdateOutcome::UpToDate);
    EXPECT_EQ(Check(Response(ManifestFor("1.9.9")), Version{1, 10, 0}).outcome,
              UpdateOutcome::UpToDate);
    const UpdateCheckResult result = Check(Response(ManifestFor("1.2.0")));
    EXPECT_EQ(result.currentVersionText, L"1.2.0");
    EXPECT_TRUE(result.latestVersionText.empty());
}

TEST(UpdateCheckOutcome, AnInvalidManifestFailsEvenWhenItsVersionIsHigher) {
    const UpdateCheckResult result = Check(Response(
        ManifestBuilder().SetText("latestVersion", "9.0.0").Set("schemaVersion", "2").Build()));
    EXPECT_EQ(result.outcome, UpdateOutcome::CheckFailed);
    EXPECT_FALSE(result.failureReason.empty());
    EXPECT_TRUE(result.latestVersionText.empty());
    EXPECT_TRUE(result.releaseNotes.empty());
    EXPECT_EQ(Check(Response(ManifestBuilder()
                                 .Set("releaseNotes", ManifestBuilder::Notes(21, "x"))
                                 .SetText("latestVersion", "9.0.0")
                                 .Build()))
                  .outcome,
              UpdateOutcome::CheckFailed);
}

TEST(UpdateCheckOutcome, FailsWithoutTheProgramsOwnVersionAndDoesNotFetch) {
    int fetches = 0;
    const UpdateCheckResult result = UpdateChecker::CheckForUpdates(
        [&] {
            ++fetches;
            return Response(ManifestFor("9.0.0"));
        },
        std::nullopt);
    EXPECT_EQ(result.outcome, UpdateOutcome::CheckFailed);
    EXPECT_EQ(fetches, 0);
}

TEST(UpdateCheckResponse, NeedsAResponseWithStatus200) {
    Fetch none = Response(ManifestFor("9.0.0"));
    none.ok = false;
    EXPECT_EQ(Check(none).outcome, UpdateOutcome::CheckFailed);
    for (std::uint32_t status : {0u, 201u, 204u, 301u, 404u, 500u}) {
        EXPECT_EQ(Check(Response(ManifestFor("9.0.0"), "application/json", status)).outcome,
                  UpdateOutcome::CheckFailed)
            << status;
    }
}

TEST(UpdateCheckResponse, NeedsAJsonContentTypeInAnyLetterCase) {
    for (const char* type : {"application/json", "application/json; charset=utf-8",
                             "APPLICATION/JSON;charset=UTF-8", "application/json;v=2"}) {
        EXPECT_EQ(Check(Response(ManifestFor("9.0.0"), type)).outcome,
                  UpdateOutcome::UpdateAvailable)
            << type;
    }
    for (const char* type : {"", "text/plain", "text/html; charset=utf-8", "application/jso",
                             "application/octet-stream"}) {
        EXPECT_EQ(Check(Response(ManifestFor("9.0.0"), type)).outcome, UpdateOutcome::CheckFailed)
            << type;
    }
}

TEST(UpdateCheckResponse, NeedsABodyOfOneTo65536Bytes) {
    EXPECT_EQ(Check(Response("")).outcome, UpdateOutcome::CheckFailed);
    // Padding with whitespace keeps the document valid at any size.
    std::string body = ManifestFor("9.0.0");
    body.resize(kMaxManifestBytes, ' ');
    EXPECT_EQ(Check(Response(body)).outcome, UpdateOutcome::UpdateAvailable);
    body.push_back(' ');
    EXPECT_EQ(Check(Response(body)).outcome, UpdateOutcome::CheckFailed);
}

class UpdatePostponement : public ::testing::Test {
protected:
    UpdateCheckResult Available(const std::wstring& latest, bool manual = false) const {
        UpdateCheckResult result;
        result.outcome = UpdateOutcome::UpdateAvailable;
        result.latestVersionText = latest;
        result.manual = manual;
        return result;
    }
    UpdateResultAction Decide(const UpdateCheckResult& result) const {
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

TEST_F(UpdatePostponement, APostponedVersionStaysSilentForADayOnAutomaticChecks) {
    EXPECT_EQ(Decide(Available(L"1.3.0")), UpdateResultAction::ShowUpdateWindow);
    PostponeNow(L"1.3.0");
    EXPECT_EQ(Decide(Available(L"1.3.0")), UpdateResultAction::Nothing);
    clock_.Advance(std::chrono::hours(12));
    EXPECT_EQ(Decide(Available(L"1.3.0")), UpdateResultAction::Nothing);
    clock_.Advance(std::chrono::hours(12) - std::chrono::seconds(1));  // 86,399 s after
    EXPECT_EQ(Decide(Available(L"1.3.0")), UpdateResultAction::Nothing);
    clock_.Advance(std::chrono::seconds(1));  // 86,400 s after
    EXPECT_EQ(Decide(Available(L"1.3.0")), UpdateResultAction::ShowUpdateWindow);
}

TEST_F(UpdatePostponement, ManualChecksAlwaysAnswerAutomaticOnesOnlyForAnUpdate) {
    PostponeNow(L"1.3.0");
    EXPECT_EQ(Decide(Available(L"1.3.0", true)), UpdateResultAction::ShowUpdateWindow);
    UpdateCheckResult result;
    for (const bool manual : {true, false}) {
        result.manual = manual;
        result.outcome = UpdateOutcome::UpToDate;
        EXPECT_EQ(Decide(result), manual ? UpdateResultAction::ShowUpToDate : UpdateResultAction::Nothing);
        result.outcome = UpdateOutcome::CheckFailed;
        EXPECT_EQ(Decide(result),
                  manual ? UpdateResultAction::ShowUnableToCheck : UpdateResultAction::Nothing);
    }
}

TEST_F(UpdatePostponement, OnlyTheSameVersionWithAPastTimeStampIsHidden) {
    PostponeNow(L"1.3.0");
    EXPECT_EQ(Decide(Available(L"1.4.0")), UpdateResultAction::ShowUpdateWindow);  // newer
    for (const std::int64_t at : {dismissedAt_ + 3600, std::numeric_limits<std::int64_t>::max(),
                                  std::numeric_limits<std::int64_t>::min()}) {
        dismissedAt_ = at;  // a time stamp from the future or out of range
        EXPECT_EQ(Decide(Available(L"1.3.0")), UpdateResultAction::ShowUpdateWindow) << at;
    }
    dismissedVersion_.clear();
    dismissedAt_ = ToUnixSeconds(clock_.Now());
    EXPECT_EQ(Decide(Available(L"")), UpdateResultAction::ShowUpdateWindow);
}

}  // namespace
}  // namespace wrenpost

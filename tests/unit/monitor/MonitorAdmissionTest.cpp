// Admission of single messages: identity keys, the session cutoff (whole seconds), the bounded
// seen memory, and the ISO-8601 text of the diagnostics.
#include <gtest/gtest.h>

#include <cwchar>

#include "MonitorTestKit.h"
#include "common/LocalTime.h"

namespace wrenpost::testing {
namespace {

constexpr std::int64_t kStart = 1740819600LL * kTicksPerSecond;  // 2025-03-01T09:00:00Z

struct Admitter {
    explicit Admitter(std::int64_t start = kStart) { admission.Reset(start, false); }
    bool Admit(const MailSnapshot& m) {
        return admission.Admit(m, [this](const std::wstring& line) { lines.push_back(line); });
    }
    MessageAdmission admission;
    std::vector<std::wstring> lines;
};

TEST(MonitorIsoTime, FormatsWholeUtcSecondsLikeTheCRuntime) {
    EXPECT_EQ(FormatIso8601Utc(-kTicksPerSecond - 1), L"1969-12-31T23:59:59Z");
    EXPECT_EQ(FormatIso8601Utc(4107542400LL * kTicksPerSecond), L"2100-03-01T00:00:00Z");
    for (std::int64_t seconds = 0; seconds < 4133980800LL; seconds += 86400 * 7 + 3601) {
        std::tm calendar{};
        ASSERT_TRUE(ToUtcCalendar(static_cast<std::time_t>(seconds), calendar));
        wchar_t expected[64];
        const std::size_t length = std::wcsftime(expected, 64, L"%Y-%m-%dT%H:%M:%SZ", &calendar);
        ASSERT_EQ(FormatIso8601Utc(seconds * kTicksPerSecond), std::wstring(expected, length));
    }
}

// Outlook's delivery times are whole seconds; the session start is not.
TEST(MonitorFreshnessGate, NewFromTheStartSecondOnAndRefusalsAreLoggedOnce) {
    const std::int64_t half = kTicksPerSecond / 2;
    const struct {
        std::int64_t start, delivery;
        bool admitted;
    } rows[] = {
        {kStart, kStart - kTicksPerSecond, false},
        {kStart, kStart - 1, false},
        {kStart, kStart, true},
        {kStart + half, kStart, true},
        {kStart + kTicksPerSecond - 1, kStart, true},
        {kStart + half, kStart - half, false},
        {kStart, kStart + kTicksPerSecond, true},
        {-half, -kTicksPerSecond, true},
        {-half, -kTicksPerSecond - 1, false},
    };
    for (const auto& row : rows) {
        Admitter admitter(row.start);
        EXPECT_EQ(admitter.Admit(Mail(L"Inbox", L"m", row.delivery, L"<m>")), row.admitted)
            << row.start << " " << row.delivery;
        EXPECT_EQ(admitter.lines.size(), row.admitted ? 0u : 1u);
    }
    // An undated message is refused and remembered, with one line naming what failed.
    Admitter admitter;
    MailSnapshot undated = Mail(L"Inbox", L"No date", 0);
    undated.StoreId.clear();
    EXPECT_FALSE(admitter.Admit(undated) || admitter.Admit(undated));
    EXPECT_EQ(admitter.lines,
              std::vector<std::wstring>{
                  L"FRESHNESS_UNKNOWN_SKIPPED Subject=\"No date\" DeliveryTimeUtc=unknown "
                  L"MonitorStartedUtc=2025-03-01T09:00:00Z TimestampSource=Unknown "
                  L"IdentitySource=LegacyComposite Reason=every safe delivery-time source failed "
                  L"(MapiDeliveryTime vt=10)"});
}

TEST(MonitorSeenMemory, KeysPreferInternetIdThenStoreAndEntryAndTheNewestThousandAreKept) {
    Admitter admitter;
    MailSnapshot copy = Mail(L"Archive", L"Invoice", kStart, L"<inv@x>");
    copy.EntryId = L"OTHER";  // the same message in another folder
    admitter.admission.Remember(Mail(L"Inbox", L"Invoice", kStart, L"<inv@x>"));
    EXPECT_FALSE(admitter.Admit(copy));
    copy.InternetMessageId.clear();
    EXPECT_TRUE(admitter.Admit(copy));
    admitter.admission.Remember(copy);
    copy.Subject = L"Renamed";
    EXPECT_FALSE(admitter.Admit(copy));  // same store and entry id
    copy.StoreId.clear();
    EXPECT_TRUE(admitter.Admit(copy));  // by its visible fields now

    // The newest thousand are kept.
    const auto nth = [](int i) { return Mail(L"Inbox", L"m", kStart, std::to_wstring(i)); };
    for (int i = 0; i <= 1000; ++i) {
        admitter.admission.Remember(nth(i));
    }
    EXPECT_EQ(admitter.admission.Seen().Entries().size(), 1000u);
    EXPECT_TRUE(admitter.Admit(nth(0)));  // forgotten, fresh again
    EXPECT_FALSE(admitter.Admit(nth(1)));
    EXPECT_FALSE(admitter.Admit(nth(1000)));
}

}  // namespace
}  // namespace wrenpost::testing

// Admission of single messages: identity keys, the session cutoff, backlog mode, the seen memory
// bound, and the ISO-8601 text of the diagnostics.
#include <gtest/gtest.h>

#include <ctime>
#include <cwchar>
#include <string>
#include <vector>

#include "MonitorTestKit.h"
#include "common/LocalTime.h"
#include "monitor/MonitorAdmission.h"

namespace wrenpost {
namespace {

using testing::Message;
using testing::UnknownTimeMessage;

constexpr std::int64_t kTicksPerSecond = 10000000;
// 2025-03-01T09:00:00Z
constexpr std::int64_t kStart = 1740819600LL * kTicksPerSecond;

struct Admitter {
    explicit Admitter(bool includeOld = false) { admission.Reset(kStart, includeOld); }
    bool Admit(const MailSnapshot& message) {
        return admission.Admit(message,
                               [this](const std::wstring& line) { lines.push_back(line); });
    }
    MessageAdmission admission;
    std::vector<std::wstring> lines;
};

TEST(IsoTime, FormatsWholeUtcSecondsTruncatingTowardZero) {
    EXPECT_EQ(FormatIso8601Utc(kStart), L"2025-03-01T09:00:00Z");
    EXPECT_EQ(FormatIso8601Utc(kStart + kTicksPerSecond - 1), L"2025-03-01T09:00:00Z");
    EXPECT_EQ(FormatIso8601Utc(0), L"1970-01-01T00:00:00Z");
    EXPECT_EQ(FormatIso8601Utc(-1), L"1970-01-01T00:00:00Z");
    EXPECT_EQ(FormatIso8601Utc(-kTicksPerSecond - 1), L"1969-12-31T23:59:59Z");
    EXPECT_EQ(FormatIso8601Utc(951782400LL * kTicksPerSecond), L"2000-02-29T00:00:00Z");
    EXPECT_EQ(FormatIso8601Utc(4107542399LL * kTicksPerSecond), L"2100-02-28T23:59:59Z");
}

TEST(IsoTime, AgreesWithTheCalendarOfTheCRuntimeDayByDay) {
    for (std::int64_t seconds = 0; seconds < 4102444800LL; seconds += 86400 * 7 + 3601) {
        std::tm calendar{};
        ASSERT_TRUE(ToUtcCalendar(static_cast<std::time_t>(seconds), calendar));
        wchar_t expected[64];
        const std::size_t length = std::wcsftime(expected, 64, L"%Y-%m-%dT%H:%M:%SZ", &calendar);
        ASSERT_EQ(FormatIso8601Utc(seconds * kTicksPerSecond), std::wstring(expected, length));
    }
}

TEST(IdentityKey, PrefersInternetIdThenStoreAndEntryThenComposite) {
    MailSnapshot message = Message(L"\\\\Mailbox\\Inbox", L"Hello", kStart, L"<a@b>");
    EXPECT_EQ(IdentifyMessage(message).Key, L"imid||<a@b>");
    EXPECT_EQ(IdentifyMessage(message).Source, IdentitySource::InternetMessageId);

    message.InternetMessageId.clear();
    EXPECT_EQ(IdentifyMessage(message).Key, L"store+entry||STORE-1||ENTRY-Hello");
    EXPECT_EQ(IdentifyMessage(message).Source, IdentitySource::StoreIdEntryId);

    message.StoreId.clear();
    EXPECT_EQ(IdentifyMessage(message).Key,
              L"\\\\Mailbox\\Inbox||Hello||Ada Sender||2026-01-01 09:00:00");
    EXPECT_EQ(IdentifyMessage(message).Source, IdentitySource::LegacyComposite);
    EXPECT_STREQ(IdentitySourceName(IdentitySource::StoreIdEntryId), L"StoreId+EntryId");
}

TEST(FreshnessGate, RefusesAtTheCutoffAndAdmitsOneTickLater) {
    Admitter admitter;
    EXPECT_FALSE(admitter.Admit(Message(L"Inbox", L"At start", kStart, L"<1>")));
    EXPECT_TRUE(admitter.Admit(Message(L"Inbox", L"Just after", kStart + 1, L"<2>")));
    EXPECT_FALSE(admitter.Admit(Message(L"Inbox", L"Long before", kStart - 99, L"<3>")));
    ASSERT_EQ(admitter.lines.size(), 2u);
    EXPECT_EQ(admitter.lines[0],
              L"STALE_SKIPPED Subject=\"At start\" DeliveryTimeUtc=2025-03-01T09:00:00Z "
              L"MonitorStartedUtc=2025-03-01T09:00:00Z TimestampSource=MapiDeliveryTime "
              L"IdentitySource=InternetMessageId Reason=delivery time at or before monitoring "
              L"session start");
}

TEST(FreshnessGate, RefusesUnknownTimesWithTheDiagnostics) {
    Admitter admitter;
    MailSnapshot message = UnknownTimeMessage(L"Inbox", L"No date");
    message.StoreId.clear();
    EXPECT_FALSE(admitter.Admit(message));
    ASSERT_EQ(admitter.lines.size(), 1u);
    EXPECT_EQ(admitter.lines[0],
              L"FRESHNESS_UNKNOWN_SKIPPED Subject=\"No date\" DeliveryTimeUtc=unknown "
              L"MonitorStartedUtc=2025-03-01T09:00:00Z TimestampSource=Unknown "
              L"IdentitySource=LegacyComposite Reason=every safe delivery-time source failed "
              L"(MapiDeliveryTime vt=10; ReceivedTime vt=10; SubmitTime vt=10; SentOn vt=10)");
}

TEST(FreshnessGate, RefusedMessagesAreRememberedAndNotLoggedAgain) {
    Admitter admitter;
    const MailSnapshot old = Message(L"Inbox", L"Old", kStart - 1, L"<old>");
    EXPECT_FALSE(admitter.Admit(old));
    EXPECT_FALSE(admitter.Admit(old));
    EXPECT_EQ(admitter.lines.size(), 1u);
    ASSERT_EQ(admitter.admission.Seen().Entries().size(), 1u);
    EXPECT_EQ(admitter.admission.Seen().Entries()[0], old);
}

TEST(BacklogMode, AdmitsOldAndUnknownTimesWithoutLogging) {
    Admitter admitter(/*includeOld=*/true);
    EXPECT_TRUE(admitter.Admit(UnknownTimeMessage(L"Inbox", L"No date", L"<u>")));
    EXPECT_TRUE(admitter.Admit(Message(L"Inbox", L"Old", kStart - 1000, L"<o>")));
    EXPECT_TRUE(admitter.lines.empty());
    EXPECT_TRUE(admitter.admission.Seen().Entries().empty());
}

TEST(SeenMemory, SameInternetIdInAnotherFolderIsKnown) {
    Admitter admitter;
    const MailSnapshot inInbox = Message(L"Inbox", L"Invoice", kStart + 5, L"<inv@x>");
    MailSnapshot inArchive = Message(L"Archive", L"Invoice", kStart + 5, L"<inv@x>");
    inArchive.EntryId = L"OTHER-ENTRY";
    inArchive.StoreId = L"STORE-2";
    ASSERT_TRUE(admitter.Admit(inInbox));
    admitter.admission.Remember(inInbox);
    EXPECT_FALSE(admitter.Admit(inArchive));
}

TEST(SeenMemory, LegacyCompositeKeysOfDifferentMessagesCollide) {
    Admitter admitter;
    MailSnapshot first = Message(L"Inbox", L"Same", kStart + 5);
    first.EntryId.clear();
    first.StoreId.clear();
    MailSnapshot second = first;
    second.DeliveryTimeUtc = kStart + 777;  // a different message, same visible fields
    ASSERT_TRUE(admitter.Admit(first));
    admitter.admission.Remember(first);
    EXPECT_FALSE(admitter.Admit(second));
}

TEST(SeenMemory, KeepsTheNewestThousandAndForgetsTheOldest) {
    Admitter admitter;
    auto nth = [](int i) {
        return Message(L"Inbox", L"Message " + std::to_wstring(i), kStart + 10 + i,
                       L"<" + std::to_wstring(i) + L">");
    };
    for (int i = 0; i < 1000; ++i) {
        admitter.admission.Remember(nth(i));
    }
    EXPECT_FALSE(admitter.Admit(nth(0)));
    admitter.admission.Remember(nth(1000));

    const auto& entries = admitter.admission.Seen().Entries();
    ASSERT_EQ(entries.size(), 1000u);
    EXPECT_EQ(entries.front(), nth(1));
    EXPECT_EQ(entries.back(), nth(1000));
    EXPECT_TRUE(admitter.Admit(nth(0)));   // forgotten, fresh again
    EXPECT_FALSE(admitter.Admit(nth(1)));  // still known
    EXPECT_FALSE(admitter.Admit(nth(1000)));
}

TEST(SeenMemory, ForgottenOldMessageMeetsTheGateAgain) {
    Admitter admitter;
    const MailSnapshot old = Message(L"Inbox", L"Old", kStart - 1, L"<old>");
    EXPECT_FALSE(admitter.Admit(old));
    for (int i = 0; i < 1000; ++i) {
        admitter.admission.Remember(
            Message(L"Inbox", L"n", kStart + 1, L"<n" + std::to_wstring(i) + L">"));
    }
    EXPECT_FALSE(admitter.Admit(old));
    EXPECT_EQ(admitter.lines.size(), 2u);  // refused and logged a second time
}

}  // namespace
}  // namespace wrenpost

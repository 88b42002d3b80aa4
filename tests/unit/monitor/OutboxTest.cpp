// The outbox on disk and the pacing of sends: what survives, what a later version's members
// become, what is refused as damaged, and when each chat may be sent to next.
#include <gtest/gtest.h>

#include "monitor/HandledLedger.h"
#include "monitor/MonitorAdmission.h"
#include "monitor/Outbox.h"
#include "monitor/SendPacing.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

OutboxRecord Notification(const std::wstring& subject) {
    OutboxRecord record;
    record.QueuedUtc = 17000000000000000;
    record.MessageKey = L"imid||<" + subject + L"@x>";
    record.PassOverKey = L"store+entry||S||" + subject;
    record.FolderPath = L"\\\\Mailbox\\Inbox";
    record.Subject = subject;
    record.SenderName = L"Dana \"D\" O'Neil";
    record.ReceivedTime = L"2026-12-07 09:00:00";
    record.DeliveryTimeKnown = true;
    record.DeliveryTimeUtc = -5;
    record.Title = L"New\tmail";
    record.Body = subject + L"\nline two \\ end";
    record.Recipients = {{L"100", RecipientState::Pending, 0, {}},
                         {L"-200", RecipientState::Delivered, 0, {}}};
    return record;
}

TEST(OutboxRecordText, RoundTripsAndKeepsTheMembersOfALaterVersion) {
    OutboxRecord record = Notification(L"Quarterly \u0418\u0432\u0430\u043d");
    record.Sequence = 9;
    ASSERT_EQ(ParseOutboxRecord(FormatOutboxRecord(record)), record);
    record.SummaryLine = L"New mail \u2013 a, b";
    record.DisableLinkPreview = record.Silent = true;
    record.Recipients[1].MessageThreadId = 42;
    std::wstring text = FormatOutboxRecord(record);
    ASSERT_EQ(ParseOutboxRecord(text), record);

    // A later version added a member at the top and one in a recipient.
    text.insert(text.find(L"  \"Sequence\""), L"  \"Later\": {\"From\": [1, \"}\"]},\n");
    text.insert(text.find(L"\"State\": \"Pending\""), L"\"Topic\": 7, ");
    const std::optional<OutboxRecord> later = ParseOutboxRecord(text);
    ASSERT_TRUE(later.has_value());
    EXPECT_EQ(later->Unknown, (std::vector<RawMember>{{L"Later", L"{\"From\": [1, \"}\"]}"}}));
    EXPECT_EQ(later->Recipients[0].Unknown, (std::vector<RawMember>{{L"Topic", L"7"}}));
    // ... and rewriting keeps them.
    EXPECT_EQ(ParseOutboxRecord(FormatOutboxRecord(*later)), later);
}

TEST(OutboxRecordText, RefusesWhatIsNotAWholeRecordOfThisFormat) {
    const std::wstring good = FormatOutboxRecord(Notification(L"a"));
    const auto replaced = [&](const std::wstring& from, const std::wstring& to) {
        std::wstring text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::vector<std::pair<const char*, std::wstring>> bad = {
        {"cut short", good.substr(0, good.size() / 2)},
        {"later format", replaced(L"\"Format\": 1", L"\"Format\": 2")},
        {"no format", replaced(L"\"Format\": 1,", L"")},
        {"unknown state", replaced(L"\"Pending\"", L"\"Maybe\"")},
        {"no recipients", replaced(L"\"ChatId\": \"100\", \"State\": \"Pending\"}", L"}")},
        {"number as text", replaced(L"\"Sequence\": 0", L"\"Sequence\": \"0\"")},
        {"number too large", replaced(L"\"Sequence\": 0", L"\"Sequence\": 99999999999999999999")},
        {"trailing text", good + L"x"},
        {"empty", L""},
    };
    for (const auto& [name, text] : bad) {
        EXPECT_FALSE(ParseOutboxRecord(text).has_value()) << name;
    }
}

TEST(OutboxStore, KeepsWhatWaitsAcrossOpensSetsDamageAsideAndHonoursItsLimits) {
    TempDir dir;
    const auto folder = dir / L"WorkOutbox";
    Outbox outbox;
    outbox.Open(folder, OutboxLimits{3, 1 << 20});
    for (const wchar_t* subject : {L"a", L"b", L"c"}) {
        ASSERT_EQ(outbox.Add(Notification(subject)), Outbox::AddResult::Added);
    }
    EXPECT_EQ(outbox.Add(Notification(L"d")), Outbox::AddResult::Full);
    OutboxRecord settled = outbox.Waiting().begin()->second;
    settled.Recipients[0].State = RecipientState::Refused;
    ASSERT_TRUE(outbox.Update(settled));  // settled: its file goes
    OutboxRecord progressed = outbox.Waiting().rbegin()->second;
    progressed.Recipients.push_back({L"300", RecipientState::Pending, 0, {}});
    ASSERT_TRUE(outbox.Update(progressed));
    WriteAllBytes(folder / L"0000000000000007.json", "{ damaged");

    std::vector<std::wstring> problems;
    Outbox reopened;
    reopened.Open(folder, OutboxLimits{3, 1 << 20}, &problems);
    ASSERT_EQ(reopened.Count(), 2u);
    EXPECT_EQ(reopened.Waiting().begin()->second.Subject, L"b");
    EXPECT_EQ(reopened.Waiting().rbegin()->second, progressed);
    EXPECT_EQ(problems.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(folder / L"0000000000000007.json.unreadable"));
    // Numbering goes on after the highest name seen, the damaged one included.
    ASSERT_EQ(reopened.Add(Notification(L"e")), Outbox::AddResult::Added);
    EXPECT_EQ(reopened.Waiting().rbegin()->first, 8);
    EXPECT_EQ(SummarizeOutbox(folder).Count, 3u);
    WriteAllBytes(folder / L"0000000000000099.json", "{ damaged");  // written after the open
    EXPECT_EQ(SummarizeOutbox(folder).Count, 3u);
    EXPECT_EQ(SummarizeOutbox(folder).OldestQueuedUtc, 17000000000000000);

    Outbox tiny;
    tiny.Open(dir / L"TinyOutbox", OutboxLimits{100, 10});
    ASSERT_EQ(tiny.Add(Notification(L"big")), Outbox::AddResult::Added);
    EXPECT_EQ(tiny.Add(Notification(L"next")), Outbox::AddResult::Full);  // by size
}

// `sends` messages to `chat`, each as early as the pacing allows.
struct PacingCase {
    const char* name;
    std::wstring chat;
    int sends;
    int expectedLastMs;  // when the last of `sends` back-to-back sends may go
};

class RealLimits : public ::testing::TestWithParam<PacingCase> {};

TEST_P(RealLimits, KeepEachChatAndTheBotWithinTelegramsRates) {
    const PacingCase& row = GetParam();
    SendPacing pacing;  // the real limits
    const SendPacing::TimePoint start{};
    SendPacing::TimePoint at = start;
    for (int i = 0; i < row.sends; ++i) {
        at = std::max(at, pacing.NextAllowed(row.chat));
        pacing.Sent(row.chat, at);
    }
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(at - start).count(),
              row.expectedLastMs);
}

INSTANTIATE_TEST_SUITE_P(Monitor, RealLimits,
                         ::testing::Values(PacingCase{"OnePerSecondToAPerson", L"7", 5, 4000},
                                           PacingCase{"NoMinuteLimitForAPerson", L"7", 21, 20000},
                                           PacingCase{"TwentyAMinuteToAGroup", L"-7", 21, 60000},
                                           PacingCase{"GroupWithinAMinute", L"-7", 20, 19000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SendPacing, ThirtyASecondForTheBotAndBackOffDoublesToFiveMinutes) {
    SendPacing pacing;
    const SendPacing::TimePoint start{};
    for (int chat = 0; chat < 30; ++chat) {
        pacing.Sent(std::to_wstring(chat), start);
    }
    EXPECT_EQ(pacing.NextAllowed(L"new"), start + std::chrono::seconds(1));

    std::vector<long long> waits;
    SendPacing::TimePoint at = start + std::chrono::hours(1);
    for (int i = 0; i < 9; ++i) {
        pacing.Failed(L"x", at);
        waits.push_back(
            std::chrono::duration_cast<std::chrono::seconds>(pacing.NextAllowed(L"x") - at)
                .count());
    }
    EXPECT_EQ(waits, (std::vector<long long>{5, 10, 20, 40, 80, 160, 300, 300, 300}));
    pacing.Succeeded(L"x");
    EXPECT_LE(pacing.NextAllowed(L"x"), at);
}

// Far behind the newest mail of a big folder, the ledger forgets keys but not that they were
// handled: anything at or before what it forgot counts as handled still.
TEST(HandledLedger, ForgetsOnlyFarBehindAndTreatsWhatItForgotAsHandled) {
    constexpr std::int64_t kMinute = 600000000;
    HandledLedger ledger;
    const auto mail = [](int minute) {
        MailSnapshot m;
        m.FolderPath = L"Inbox";
        m.StoreId = L"S";
        m.EntryId = L"E" + std::to_wstring(minute);
        m.DeliveryTimeKnown = true;
        m.DeliveryTimeUtc = minute * kMinute;
        return m;
    };
    const int kept = static_cast<int>(HandledLedger::kKeptPerFolder);
    for (int minute = 1; minute <= kept + 100; ++minute) {
        ledger.Mark(mail(minute));
    }
    EXPECT_EQ(ledger.Size(), HandledLedger::kKeptPerFolder);
    EXPECT_FALSE(ledger.Contains(IdentifyMessage(mail(100)).Key));
    EXPECT_TRUE(ledger.Contains(IdentifyMessage(mail(101)).Key));
    EXPECT_TRUE(ledger.Forgotten(mail(100)));
    EXPECT_FALSE(ledger.Forgotten(mail(101)));
    EXPECT_EQ(ledger.PassOver()->count(PassOverKey(L"S", L"E100")), 0u);
    EXPECT_EQ(ledger.PassOver()->count(PassOverKey(L"S", L"E101")), 1u);
    EXPECT_EQ(ledger.EndBefore(L"Inbox", 0), (kept + 100) * kMinute - 60 * 10000000LL);
    EXPECT_EQ(ledger.EndBefore(L"Other", 25 * 10000000LL + 5), 25 * 10000000LL);

    // Within the last hour nothing is forgotten, however many there are.
    HandledLedger busy;
    for (int second = 1; second <= kept + 100; ++second) {
        MailSnapshot m = mail(0);
        m.EntryId = L"S" + std::to_wstring(second);
        m.DeliveryTimeUtc = second * 10000000LL;
        busy.Mark(m);
    }
    EXPECT_EQ(busy.Size(), HandledLedger::kKeptPerFolder + 100);
}

}  // namespace
}  // namespace wrenpost::testing

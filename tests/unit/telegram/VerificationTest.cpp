// Recipient verification: codes, matching of what users send, pre-drain and offsets, the log
// lines of a poll, message clean-up, and the worker loop's ending conditions.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "ScriptedTransport.h"
#include "support/FakeClock.h"
#include "telegram/Verification.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::Reply;
using testing::RequestParameters;
using testing::ScriptedTransport;
using testing::TransportFailure;

constexpr std::int64_t kStart = 1767225600;  // the FakeClock's default start
constexpr std::int64_t kEnd = kStart + 180;
const std::wstring kCode = L"WP-123456";

// A private chat with the given names (",\"first_name\":..."), or any chat JSON.
std::string Chat(long long id, const std::string& names = "") {
    return "{\"id\":" + std::to_string(id) + names + ",\"type\":\"private\"}";
}

std::string Update(long long id, long long messageId, long long date, const std::string& chat,
                   const std::string& text) {
    return "{\"update_id\":" + std::to_string(id) +
           ",\"message\":{\"message_id\":" + std::to_string(messageId) + ",\"chat\":" + chat +
           ",\"date\":" + std::to_string(date) + ",\"text\":\"" + text + "\"}}";
}

HttpResponse Updates(const std::vector<std::string>& updates) {
    std::string body = "{\"ok\":true,\"result\":[";
    for (const std::string& update : updates) body += (body.ends_with("[") ? "" : ",") + update;
    return Reply(200, body + "]}");
}

// deleteMessage answers deleteReply; getUpdates answers from `updates`, then an empty list.
struct BotApi {
    ScriptedTransport transport;
    std::deque<HttpResponse> updates;
    std::string deleteReply = "{\"ok\":true,\"result\":true}";
    std::vector<std::wstring> logged;
    BotApi() {
        transport.SetResponder([this](const HttpRequest& request) {
            if (request.path.find(L"/deleteMessage") != std::wstring::npos) {
                return Reply(200, deleteReply);
            }
            HttpResponse next = updates.empty() ? Updates({}) : updates.front();
            if (!updates.empty())
                updates.pop_front();
            return next;
        });
    }
    std::vector<HttpRequest> Requests(const std::wstring& method) const {
        std::vector<HttpRequest> out = transport.Requests();
        std::erase_if(out, [&](const HttpRequest& r) {
            return r.path.find(L"/" + method) == std::wstring::npos;
        });
        return out;
    }
    PollResult Poll(std::int64_t& offset) {
        return PollVerification(transport.AsTransport(), L"1:A", kCode, kStart, kEnd, offset);
    }
    std::optional<VerificationResult> Run(Clock& clock, CancelFlag cancelled = nullptr) {
        return RunVerification(transport.AsTransport(), clock, {L"1:A", kCode, kStart, kEnd},
                               cancelled, [this](std::vector<std::wstring> lines) {
                                   logged.insert(logged.end(), lines.begin(), lines.end());
                               });
    }
};

TEST(VerificationCode, IsWpAndSixDigitsAndCanBeDrawnFromManyThreads) {
    std::vector<std::set<std::wstring>> seen(4);
    std::vector<std::thread> threads;
    for (auto& codes : seen) {
        threads.emplace_back([&codes] {
            for (int k = 0; k < 200; ++k) codes.insert(GenerateVerificationCode());
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& codes : seen) {
        EXPECT_GT(codes.size(), 190u);  // 200 draws from a million values rarely collide
        for (const auto& code : codes) {
            EXPECT_TRUE(code.size() == 9 && code.starts_with(L"WP-") &&
                        code.find_first_not_of(L"0123456789", 3) == std::wstring::npos);
        }
    }
}

TEST(MatchStartText, DistinguishesTheFourCases) {
    EXPECT_EQ(MatchStartText(L"/START", kCode), kStartBare);
    EXPECT_EQ(MatchStartText(L"/START WP-123456", kCode), kStartMatchedCode);
    EXPECT_EQ(MatchStartText(L"/START HELLO", kCode), kStartOtherCode);
    EXPECT_EQ(MatchStartText(L"/START  WP-123456", kCode), kStartOtherCode);
    EXPECT_EQ(MatchStartText(L"/START ", kCode), kStartNone);
    EXPECT_EQ(MatchStartText(L"/STARTWP-123456", kCode), kStartNone);
    EXPECT_EQ(MatchStartText(L"WP-123456", kCode), kStartNone);
    EXPECT_EQ(NormalizeVerificationText(L"  wp-12\r\n3456 \t"), L"WP-123456");
}

TEST(PollVerification, AcceptsTheCodeTypedOrSentThroughTheDeepLinkOncePerChat) {
    BotApi api;
    const std::string group = "{\"id\":-100123,\"title\":\"Ops\",\"type\":\"supergroup\"}";
    api.updates.push_back(Updates({
        Update(10, 501, kStart, Chat(42, ",\"first_name\":\"\xD0\x98\xD0\xB2\""), " wp-123456 "),
        Update(11, 502, kEnd, Chat(43, ",\"username\":\"bob\""), "/start WP-123456"),
        Update(12, 9, kStart + 2, group, "WP-123456"),
        Update(13, 10, kStart + 3, group, "/start WP-123456"),
    }));
    std::int64_t offset = 0;
    const PollResult poll = api.Poll(offset);
    ASSERT_TRUE(poll.ok);
    EXPECT_EQ(poll.candidates,
              (std::vector<VerificationCandidate>{
                  {L"42", L"\u0418\u0432"}, {L"43", L"@bob"}, {L"-100123", L"(Unknown)"}}));
    EXPECT_EQ(offset, 14);
    EXPECT_EQ(poll.logLines.at(0),
              L"[Verify] Verification code matched. Sender=\"\u0418\u0432\" ChatId=42");
    EXPECT_EQ(poll.logLines.at(1), L"[Verify] Deleted setup message (ChatId=42, MessageId=501).");
    const auto deletes = api.Requests(L"deleteMessage");
    ASSERT_EQ(deletes.size(), 4u);  // every setup message goes, also the group's second one
    EXPECT_EQ(deletes[0].path, L"/bot1:A/deleteMessage?chat_id=42&message_id=501");
    EXPECT_EQ(api.Requests(L"getUpdates")[0].path,
              L"/bot1:A/getUpdates?timeout=0&limit=100&offset=0");
}

TEST(PollVerification, IgnoresUnrelatedAndOutOfWindowMessages) {
    BotApi api;
    const std::string t = std::to_string(kStart + 1);
    api.updates.push_back(Updates({
        Update(20, 1, kStart + 1, Chat(1), "/start"),
        Update(21, 2, kStart + 1, Chat(2), "/start other"),
        Update(22, 3, kStart - 1, Chat(3), "WP-123456"),
        Update(23, 4, kEnd + 1, Chat(4), "WP-123456"),
        Update(24, 5, kStart + 1, "{\"type\":\"private\"}", "WP-123456"),
        Update(25, 6, kStart + 1, Chat(6), "WP-654321"),
        "{\"update_id\":26,\"message\":{\"chat\":{\"id\":7},\"date\":" + t + ",\"photo\":[]}}",
        "{\"update_id\":27,\"message\":{\"chat\":{\"id\":8},\"text\":\"WP-123456\"}}",
    }));
    std::int64_t offset = 20;
    const PollResult poll = api.Poll(offset);
    ASSERT_TRUE(poll.ok);
    EXPECT_TRUE(poll.candidates.empty());
    EXPECT_EQ(poll.logLines,
              std::vector<std::wstring>(7, L"Ignored unrelated verification message."));
    EXPECT_EQ(offset, 28);  // every update counts, also the one without text
    EXPECT_TRUE(api.Requests(L"deleteMessage").empty());
}

TEST(PollVerification, ReportsFailedCleanUpAndMissingMessageIds) {
    BotApi api;
    api.deleteReply = "{\"ok\":false,\"description\":\"Bad Request: message can't be deleted\"}";
    api.updates.push_back(Updates({
        Update(1, 77, kStart + 1, Chat(5), "WP-123456"),
        "{\"update_id\":2,\"message\":{\"chat\":{\"id\":6},\"date\":" + std::to_string(kStart + 1) +
            ",\"text\":\"WP-123456\"}}",
    }));
    std::int64_t offset = 0;
    const PollResult poll = api.Poll(offset);
    EXPECT_EQ(poll.candidates.size(), 2u);
    EXPECT_EQ(poll.logLines.at(1),
              L"[Verify] Failed to delete setup message (ChatId=5, "
              L"MessageId=77): Bad Request: message can't be deleted");
    EXPECT_EQ(poll.logLines.at(3),
              L"[Verify] No message_id found; skipping setup-message cleanup.");
}

TEST(PollVerification, FailuresCarryTheirTextAndKeepTheOffset) {
    BotApi api;
    api.updates = {Reply(409, "{\"ok\":false,\"description\":\"Conflict\"}"),
                   TransportFailure(HttpStage::Send, 12007), Reply(200, ""),
                   Reply(200, "{\"ok\" :true,\"result\":[]}"),
                   // An oversized answer is a failure, not a parse of its first part.
                   TransportFailure(HttpStage::TooLarge, 0)};
    std::int64_t offset = 33;
    for (const wchar_t* error :
         {L"Conflict", L"Failed to send request to Telegram API.",
          L"Empty response from Telegram API.", L"Telegram returned an error.",
          L"The answer from Telegram API is too large."}) {
        const PollResult poll = api.Poll(offset);
        EXPECT_FALSE(poll.ok);
        EXPECT_EQ(poll.error, error);
    }
    EXPECT_EQ(offset, 33);
}

TEST(DisplayName, FollowsTheNameRules) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {LR"("id":1,"first_name":"Ann")", L"Ann"},
        {LR"("id":1,"first_name":"Ann","last_name":"Lee")", L"Ann Lee"},
        {LR"("id":1,"last_name":"Lee")", L"Lee"},
        {LR"("id":1,"first_name":"Ann","last_name":"")", L"Ann"},
        {LR"("id":1,"first_name":"Ann","username":"ann_l")", L"@ann_l"},
        {LR"("id":1,"username":"","first_name":"Ann")", L"Ann"},
        {LR"("id":1)", L"(Unknown)"},
        {LR"("first_name":"\u0418\u0432\u0430\u043d")", L"\u0418\u0432\u0430\u043d"},
    };
    for (const auto& [chat, name] : rows) EXPECT_EQ(ChatDisplayName(chat), name);
}

TEST(FetchStartOffset, SkipsUpdatesThatMayCarryTheCode) {
    BotApi api;
    api.updates.push_back(Updates({
        Update(100, 1, kStart - 10, Chat(1), "old"),
        Update(104, 2, kStart, Chat(1), "WP-123456"),
        Update(102, 3, kStart - 5, Chat(1), "older"),
        "{\"update_id\":103,\"my_chat_member\":{}}",
    }));
    const auto drained = FetchStartOffset(api.transport.AsTransport(), L"1:A", kStart);
    EXPECT_TRUE(drained.ok);
    EXPECT_EQ(drained.offset, 104);  // 103 has no date and counts; 104 is dated in the window
    EXPECT_EQ(api.Requests(L"getUpdates")[0].path, L"/bot1:A/getUpdates?timeout=0&limit=100");
    EXPECT_EQ(FetchStartOffset(api.transport.AsTransport(), L"1:A", kStart).offset, 0);
}

TEST(VerificationWorker, DrainsThenPollsEveryTwoSecondsUntilTheCodeArrives) {
    BotApi api;
    FakeClock clock;
    api.updates = {
        Updates({Update(50, 1, kStart - 30, Chat(1), "hi")}), Updates({}),
        Updates({Update(51, 2, kStart + 1, Chat(1), "/start")}),
        Updates({Update(52, 3, kStart + 3, Chat(9, ",\"first_name\":\"Zed\""), "WP-123456")})};
    const auto result = api.Run(clock, std::make_shared<std::atomic<bool>>(false));
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationSucceeded);
    EXPECT_EQ(result->candidates, (std::vector<VerificationCandidate>{{L"9", L"Zed"}}));
    const auto polls = api.Requests(L"getUpdates");
    ASSERT_EQ(polls.size(), 4u);
    EXPECT_EQ(RequestParameters(polls[1]).at("offset"), "51");
    EXPECT_EQ(RequestParameters(polls[2]).at("offset"), "51");
    EXPECT_EQ(RequestParameters(polls[3]).at("offset"), "52");  // confirms what was processed
    EXPECT_EQ(ToUnixSeconds(clock.Now()), kStart + 4);
    EXPECT_EQ(api.logged.at(1), L"[Verify] Verification code matched. Sender=\"Zed\" ChatId=9");
}

TEST(VerificationWorker, ExpiresAfterTheDeadlineAndCancellationEndsWithoutAResult) {
    BotApi api;
    FakeClock clock;
    const auto result = api.Run(clock);
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationExpired);
    EXPECT_EQ(ToUnixSeconds(clock.Now()), kEnd + 2);
    EXPECT_EQ(api.Requests(L"getUpdates").size(), 1u + 91u);  // pre-drain, then t = 0, 2, ..., 180
    BotApi cancelling;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelling.transport.SetResponder([&](const HttpRequest&) {
        cancelled->store(cancelling.transport.Requests().size() == 2);  // during the first poll
        return Updates({});
    });
    FakeClock restarted;
    EXPECT_FALSE(cancelling.Run(restarted, cancelled));
    EXPECT_EQ(cancelling.transport.Requests().size(), 2u);
}

TEST(VerificationWorker, APreDrainFailureIsLoggedAndAFailedPollEndsIt) {
    BotApi api;
    FakeClock clock;
    api.updates = {Reply(200, ""), Reply(500, "{\"ok\":false,\"description\":\"Internal\"}")};
    const auto result = api.Run(clock);
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationFailed);  // no retry of a failed poll
    EXPECT_EQ(result->error, L"Internal");
    EXPECT_EQ(api.logged, (std::vector<std::wstring>{
                              L"[Verify] Could not pre-drain existing Telegram updates (Empty "
                              L"response from Telegram API.) - continuing verification from the "
                              L"current point."}));
    EXPECT_EQ(RequestParameters(api.Requests(L"getUpdates").at(1)).at("offset"), "0");
}

TEST(VerificationPresentation, CountdownAndLinks) {
    EXPECT_EQ(FormatCountdown(180), L"03:00");
    EXPECT_EQ(FormatCountdown(61), L"01:01");
    EXPECT_EQ(FormatCountdown(-4), L"00:00");
    EXPECT_EQ(BotLink(L"@wren_bot"), L"https://t.me/wren_bot");
    EXPECT_EQ(VerificationDeepLink(L"wren_bot", L"WP-000001"),
              L"https://t.me/wren_bot?start=WP-000001");
}

}  // namespace
}  // namespace wrenpost

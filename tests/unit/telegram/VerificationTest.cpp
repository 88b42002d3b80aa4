// Recipient verification: codes, matching of what users send, pre-drain and offsets, the log
// lines of a poll, message clean-up, and the worker loop's ending conditions.
#include <gtest/gtest.h>

#include <future>
#include <set>
#include <thread>

#include "ScriptedTransport.h"
#include "support/FakeClock.h"
#include "telegram/TelegramWorkers.h"
#include "telegram/Verification.h"

namespace wrenpost {
namespace {

using testing::FakeClock;
using testing::Reply;
using testing::RequestMethodPath;
using testing::RequestParameters;
using testing::ScriptedTransport;
using testing::TransportFailure;

constexpr std::int64_t kStart = 1767225600;  // the FakeClock's default start
constexpr std::int64_t kEnd = kStart + 180;
const std::wstring kToken = L"1:A";
const std::wstring kCode = L"WP-123456";
const char kIgnored[] = "Ignored unrelated verification message.";

std::string Chat(long long id, const std::string& names) {
    return "{\"id\":" + std::to_string(id) + names + ",\"type\":\"private\"}";
}

std::string Update(long long updateId, long long messageId, long long date, const std::string& chat,
                   const std::string& text) {
    return "{\"update_id\":" + std::to_string(updateId) +
           ",\"message\":{\"message_id\":" + std::to_string(messageId) +
           ",\"from\":{\"id\":999,\"is_bot\":false,\"first_name\":\"From\"},"
           "\"chat\":" +
           chat + ",\"date\":" + std::to_string(date) + ",\"text\":\"" + text + "\"}}";
}

std::string Updates(const std::vector<std::string>& updates) {
    std::string body = "{\"ok\":true,\"result\":[";
    for (std::size_t i = 0; i < updates.size(); ++i) {
        body += (i ? "," : "") + updates[i];
    }
    return body + "]}";
}

// Answers deleteMessage with ok and getUpdates from the queue.
struct BotApi {
    ScriptedTransport transport;
    std::deque<HttpResponse> updates;
    std::string deleteReply = "{\"ok\":true,\"result\":true}";
    BotApi() {
        transport.SetResponder([this](const HttpRequest& request) {
            if (RequestMethodPath(request).ends_with(L"/deleteMessage")) {
                return Reply(200, deleteReply);
            }
            if (updates.empty()) {
                return Reply(200, Updates({}));
            }
            HttpResponse next = updates.front();
            updates.pop_front();
            return next;
        });
    }
    std::vector<HttpRequest> Requests(const std::wstring& method) const {
        std::vector<HttpRequest> out;
        for (const auto& request : transport.Requests()) {
            if (RequestMethodPath(request).ends_with(L"/" + method))
                out.push_back(request);
        }
        return out;
    }
};

PollResult PollOnce(BotApi& api, std::int64_t& offset) {
    return PollVerification(api.transport.AsTransport(), kToken, kCode, kStart, kEnd, offset);
}

TEST(VerificationCode, IsWpAndSixDigitsAndCanBeDrawnFromManyThreads) {
    std::vector<std::thread> threads;
    std::vector<std::set<std::wstring>> seen(4);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] {
            for (int k = 0; k < 200; ++k) seen[i].insert(GenerateVerificationCode());
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& codes : seen) {
        EXPECT_GT(codes.size(), 190u);  // 200 draws from a million values rarely collide
        for (const auto& code : codes) {
            ASSERT_EQ(code.size(), 9u);
            EXPECT_EQ(code.substr(0, 3), L"WP-");
            for (std::size_t k = 3; k < 9; ++k) EXPECT_TRUE(code[k] >= L'0' && code[k] <= L'9');
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

TEST(PollVerification, AcceptsTheCodeTypedOrSentThroughTheDeepLink) {
    BotApi api;
    api.updates.push_back(Reply(
        200,
        Updates({
            Update(10, 501, kStart + 5, Chat(42, ",\"first_name\":\"Ann\""), " wp-123456 "),
            Update(11, 502, kStart + 6, Chat(43, ",\"username\":\"bob\",\"first_name\":\"Bob\""),
                   "/start WP-123456"),
        })));
    std::int64_t offset = 0;
    const PollResult poll = PollOnce(api, offset);
    ASSERT_TRUE(poll.ok);
    EXPECT_EQ(poll.candidates,
              (std::vector<VerificationCandidate>{{L"42", L"Ann"}, {L"43", L"@bob"}}));
    EXPECT_EQ(offset, 12);
    EXPECT_EQ(poll.logLines, (std::vector<std::wstring>{
                                 L"[Verify] Verification code matched. Sender=\"Ann\" ChatId=42",
                                 L"[Verify] Deleted setup message (ChatId=42, MessageId=501).",
                                 L"[Verify] Verification code matched. Sender=\"@bob\" ChatId=43",
                                 L"[Verify] Deleted setup message (ChatId=43, MessageId=502).",
                             }));
    const auto deletes = api.Requests(L"deleteMessage");
    ASSERT_EQ(deletes.size(), 2u);
    EXPECT_EQ(deletes[0].path, L"/bot1:A/deleteMessage?chat_id=42&message_id=501");
    const auto polls = api.Requests(L"getUpdates");
    EXPECT_EQ(polls[0].path, L"/bot1:A/getUpdates?timeout=0&limit=100&offset=0");
}

TEST(PollVerification, IgnoresUnrelatedAndOutOfWindowMessages) {
    BotApi api;
    api.updates.push_back(Reply(
        200, Updates({
                 Update(20, 1, kStart + 1, Chat(1, ",\"first_name\":\"A\""), "/start"),
                 Update(21, 2, kStart + 1, Chat(2, ",\"first_name\":\"B\""), "/start other"),
                 Update(22, 3, kStart - 1, Chat(3, ",\"first_name\":\"C\""), "WP-123456"),
                 Update(23, 4, kEnd + 1, Chat(4, ",\"first_name\":\"D\""), "WP-123456"),
                 Update(24, 5, kStart + 1, "{\"type\":\"private\"}", "WP-123456"),
                 Update(25, 6, kStart + 1, Chat(6, ""), "WP-654321"),
                 "{\"update_id\":26,\"message\":{\"message_id\":7,\"chat\":{\"id\":7},\"date\":" +
                     std::to_string(kStart + 1) + ",\"photo\":[]}}",
                 "{\"update_id\":27,\"message\":{\"message_id\":8,\"chat\":{\"id\":8},\"text\":"
                 "\"WP-123456\"}}",
             })));
    std::int64_t offset = 20;
    const PollResult poll = PollOnce(api, offset);
    ASSERT_TRUE(poll.ok);
    EXPECT_TRUE(poll.candidates.empty());
    EXPECT_EQ(poll.logLines,
              std::vector<std::wstring>(7, L"Ignored unrelated verification message."));
    EXPECT_EQ(offset, 28);  // every update counts, also the one without text
    EXPECT_TRUE(api.Requests(L"deleteMessage").empty());
}

TEST(PollVerification, AcceptsTheWindowEdgesExactly) {
    BotApi api;
    api.updates.push_back(
        Reply(200, Updates({
                       Update(1, 1, kStart, Chat(1, ",\"first_name\":\"A\""), "WP-123456"),
                       Update(2, 2, kEnd, Chat(2, ",\"first_name\":\"B\""), "WP-123456"),
                   })));
    std::int64_t offset = 0;
    EXPECT_EQ(PollOnce(api, offset).candidates.size(), 2u);
}

TEST(PollVerification, AGroupChatGivesItsNegativeIdAndOneCandidatePerChat) {
    BotApi api;
    api.updates.push_back(
        Reply(200, Updates({
                       Update(5, 9, kStart + 2,
                              "{\"id\":-1001234567890,\"title\":\"Ops\",\"type\":\"supergroup\"}",
                              "WP-123456"),
                       Update(6, 10, kStart + 3,
                              "{\"id\":-1001234567890,\"title\":\"Ops\",\"type\":\"supergroup\"}",
                              "/start WP-123456"),
                   })));
    std::int64_t offset = 0;
    const PollResult poll = PollOnce(api, offset);
    ASSERT_EQ(poll.candidates.size(), 1u);
    EXPECT_EQ(poll.candidates[0].chatId, L"-1001234567890");
    EXPECT_EQ(poll.candidates[0].displayName, L"(Unknown)");
    EXPECT_EQ(api.Requests(L"deleteMessage").size(), 2u);
}

TEST(PollVerification, ReportsFailedCleanUpAndMissingMessageIds) {
    BotApi api;
    api.deleteReply =
        "{\"ok\":false,\"error_code\":400,\"description\":\"Bad Request: message can't be "
        "deleted\"}";
    api.updates.push_back(Reply(
        200,
        Updates({
            Update(1, 77, kStart + 1, Chat(5, ",\"first_name\":\"E\""), "WP-123456"),
            "{\"update_id\":2,\"message\":{\"chat\":{\"id\":6,\"first_name\":\"F\"},\"date\":" +
                std::to_string(kStart + 1) + ",\"text\":\"WP-123456\"}}",
        })));
    std::int64_t offset = 0;
    const PollResult poll = PollOnce(api, offset);
    EXPECT_EQ(poll.candidates.size(), 2u);
    EXPECT_EQ(poll.logLines[1],
              L"[Verify] Failed to delete setup message (ChatId=5, MessageId=77): Bad Request: "
              L"message can't be deleted");
    EXPECT_EQ(poll.logLines[3], L"[Verify] No message_id found; skipping setup-message cleanup.");
}

TEST(PollVerification, FailuresCarryTheirTextAndKeepTheOffset) {
    BotApi api;
    api.updates.push_back(Reply(
        409,
        "{\"ok\":false,\"description\":\"Conflict: terminated by other getUpdates request\"}"));
    api.updates.push_back(TransportFailure(HttpStage::Send, 12007));
    api.updates.push_back(Reply(200, ""));
    api.updates.push_back(Reply(200, "{\"ok\" :true,\"result\":[]}"));
    std::int64_t offset = 33;
    EXPECT_EQ(PollOnce(api, offset).error, L"Conflict: terminated by other getUpdates request");
    EXPECT_EQ(PollOnce(api, offset).error, L"Failed to send request to Telegram API.");
    EXPECT_EQ(PollOnce(api, offset).error, L"Empty response from Telegram API.");
    const PollResult spaced = PollOnce(api, offset);
    EXPECT_FALSE(spaced.ok);
    EXPECT_EQ(spaced.error, L"Telegram returned an error.");
    EXPECT_EQ(offset, 33);
}

TEST(DisplayName, FollowsTheNameRules) {
    EXPECT_EQ(ChatDisplayName(L"\"id\":1,\"first_name\":\"Ann\""), L"Ann");
    EXPECT_EQ(ChatDisplayName(L"\"id\":1,\"first_name\":\"Ann\",\"last_name\":\"Lee\""),
              L"Ann Lee");
    EXPECT_EQ(ChatDisplayName(L"\"id\":1,\"last_name\":\"Lee\""), L"Lee");
    EXPECT_EQ(ChatDisplayName(L"\"id\":1,\"first_name\":\"Ann\",\"last_name\":\"\""), L"Ann");
    EXPECT_EQ(ChatDisplayName(L"\"id\":1,\"first_name\":\"Ann\",\"username\":\"ann_l\""),
              L"@ann_l");
    EXPECT_EQ(ChatDisplayName(L"\"id\":1,\"username\":\"\",\"first_name\":\"Ann\""), L"Ann");
    EXPECT_EQ(ChatDisplayName(L"\"id\":1"), L"(Unknown)");
    EXPECT_EQ(ChatDisplayName(L"\"first_name\":\"\\u0418\\u0432\\u0430\\u043d\""),
              L"\u0418\u0432\u0430\u043d");
}

TEST(FetchStartOffset, SkipsUpdatesThatMayCarryTheCode) {
    BotApi api;
    api.updates.push_back(Reply(200, Updates({
                                         Update(100, 1, kStart - 10, Chat(1, ""), "old"),
                                         Update(104, 2, kStart, Chat(1, ""), "WP-123456"),
                                         Update(102, 3, kStart - 5, Chat(1, ""), "older"),
                                         "{\"update_id\":103,\"my_chat_member\":{}}",
                                     })));
    const auto drained = FetchStartOffset(api.transport.AsTransport(), kToken, kStart);
    EXPECT_TRUE(drained.ok);
    EXPECT_EQ(drained.offset, 104);  // 103 has no date and counts; 104 is dated in the window
    EXPECT_EQ(api.Requests(L"getUpdates")[0].path, L"/bot1:A/getUpdates?timeout=0&limit=100");

    api.updates.push_back(Reply(200, Updates({})));
    EXPECT_EQ(FetchStartOffset(api.transport.AsTransport(), kToken, kStart).offset, 0);
}

TEST(VerificationWorker, DrainsThenPollsEveryTwoSecondsUntilTheCodeArrives) {
    BotApi api;
    FakeClock clock;
    api.updates.push_back(Reply(200, Updates({Update(50, 1, kStart - 30, Chat(1, ""), "hi")})));
    api.updates.push_back(Reply(200, Updates({})));
    api.updates.push_back(Reply(200, Updates({Update(51, 2, kStart + 1, Chat(1, ""), "/start")})));
    api.updates.push_back(Reply(
        200,
        Updates({Update(52, 3, kStart + 3, Chat(9, ",\"first_name\":\"Zed\""), "WP-123456")})));
    std::vector<std::wstring> logged;
    const auto result = RunVerification(
        api.transport.AsTransport(), clock, {kToken, kCode, kStart, kEnd},
        std::make_shared<std::atomic<bool>>(false), [&](std::vector<std::wstring> lines) {
            logged.insert(logged.end(), lines.begin(), lines.end());
        });
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationSucceeded);
    EXPECT_EQ(result->candidates, (std::vector<VerificationCandidate>{{L"9", L"Zed"}}));
    const auto polls = api.Requests(L"getUpdates");
    ASSERT_EQ(polls.size(), 4u);
    EXPECT_EQ(RequestParameters(polls[1]).at(L"offset"), L"51");
    EXPECT_EQ(RequestParameters(polls[2]).at(L"offset"), L"51");
    EXPECT_EQ(RequestParameters(polls[3]).at(L"offset"), L"52");  // confirms what was processed
    EXPECT_EQ(ToUnixSeconds(clock.Now()), kStart + 4);
    EXPECT_EQ(logged.front(), L"Ignored unrelated verification message.");
    EXPECT_EQ(logged.at(1), L"[Verify] Verification code matched. Sender=\"Zed\" ChatId=9");
}

TEST(VerificationWorker, ExpiresAfterTheDeadline) {
    BotApi api;
    FakeClock clock;
    const auto result =
        RunVerification(api.transport.AsTransport(), clock, {kToken, kCode, kStart, kEnd}, nullptr,
                        [](std::vector<std::wstring>) {});
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationExpired);
    EXPECT_EQ(ToUnixSeconds(clock.Now()), kEnd + 2);
    EXPECT_EQ(api.Requests(L"getUpdates").size(), 1u + 91u);  // pre-drain, then t = 0, 2, ..., 180
}

TEST(VerificationWorker, APreDrainFailureIsLoggedAndPollingStartsAtZero) {
    BotApi api;
    FakeClock clock;
    api.updates.push_back(Reply(200, ""));
    api.updates.push_back(Reply(500, "{\"ok\":false,\"description\":\"Internal Server Error\"}"));
    std::vector<std::wstring> logged;
    const auto result =
        RunVerification(api.transport.AsTransport(), clock, {kToken, kCode, kStart, kEnd}, nullptr,
                        [&](std::vector<std::wstring> lines) {
                            logged.insert(logged.end(), lines.begin(), lines.end());
                        });
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationFailed);  // no retry of a failed poll
    EXPECT_EQ(result->error, L"Internal Server Error");
    EXPECT_EQ(logged,
              (std::vector<std::wstring>{
                  L"[Verify] Could not pre-drain existing Telegram updates (Empty response "
                  L"from Telegram API.) - continuing verification from the current point."}));
    EXPECT_EQ(RequestParameters(api.Requests(L"getUpdates").at(1)).at(L"offset"), L"0");
}

TEST(VerificationWorker, CancellationEndsWithoutAResult) {
    BotApi api;
    FakeClock clock;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    int requests = 0;
    api.transport.SetResponder([&](const HttpRequest&) {
        if (++requests == 2) {
            cancelled->store(true);  // the user presses Cancel while the first poll runs
        }
        return Reply(200, Updates({}));
    });
    const auto result =
        RunVerification(api.transport.AsTransport(), clock, {kToken, kCode, kStart, kEnd},
                        cancelled, [](std::vector<std::wstring>) {});
    EXPECT_FALSE(result);
    EXPECT_EQ(api.transport.Requests().size(), 2u);
}

TEST(VerificationWorker, RunsDetachedAndHandsItsResultToTheCallback) {
    BotApi api;
    api.updates.push_back(Reply(200, Updates({})));
    api.updates.push_back(Reply(200, Updates({Update(1, 1, kStart, Chat(3, ""), "WP-123456")})));
    static FakeClock clock;  // outlives the detached thread
    std::promise<VerificationResult> done;
    StartVerification(
        api.transport.AsTransport(), clock, {kToken, kCode, kStart, kEnd},
        std::make_shared<std::atomic<bool>>(false), [](std::vector<std::wstring>) {},
        [&done](VerificationResult result) { done.set_value(std::move(result)); });
    auto future = done.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(future.get().candidates.at(0).chatId, L"3");
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

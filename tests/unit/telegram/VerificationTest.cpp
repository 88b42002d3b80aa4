// Recipient verification: matching what users send, offsets, clean-up and the worker loop.
#include <gtest/gtest.h>

#include <set>

#include "ScriptedTransport.h"
#include "support/FakeClock.h"
#include "telegram/Verification.h"

namespace wrenpost {
namespace {

using testing::Reply;

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
    testing::ScriptedTransport transport;
    std::deque<HttpResponse> updates;
    std::string deleteReply = "{\"ok\":true,\"result\":true}";
    std::vector<std::wstring> logged;
    std::int64_t offset = 0;   // of the polls below
    testing::FakeClock clock;  // of the runs below
    BotApi() {
        transport.state->responder = [this](const HttpRequest& request) {
            if (request.path.find(L"/deleteMessage") != std::wstring::npos) {
                return Reply(200, deleteReply);
            }
            HttpResponse next = updates.empty() ? Updates({}) : updates.front();
            if (!updates.empty())
                updates.pop_front();
            return next;
        };
    }
    std::vector<HttpRequest> Requests(const std::wstring& method) const {
        std::vector<HttpRequest> out = transport.Requests();
        const std::wstring part = L"/" + method;
        std::erase_if(out, [&](const auto& r) { return r.path.find(part) == std::wstring::npos; });
        return out;
    }
    PollResult Poll() {
        return PollVerification(transport.AsTransport(), L"1:A", kCode, kStart, kEnd, offset);
    }
    std::optional<VerificationResult> Run(CancelFlag cancelled = nullptr) {
        return RunVerification(transport.AsTransport(), clock, {L"1:SECRET", kCode, kStart, kEnd},
                               cancelled, [this](std::vector<std::wstring> lines) {
                                   logged.insert(logged.end(), lines.begin(), lines.end());
                               });
    }
};

TEST(VerificationTexts, CodeAndDeepLink) {
    EXPECT_EQ(VerificationDeepLink(L"@wren_bot", L"WP-000001"),
              L"https://t.me/wren_bot?start=WP-000001");
    std::set<std::wstring> codes;
    for (int k = 0; k < 200; ++k) codes.insert(GenerateVerificationCode());
    EXPECT_GT(codes.size(), 190u);  // 200 draws from a million values rarely collide
    for (const auto& code : codes) {
        EXPECT_TRUE(code.size() == 9 && code.starts_with(L"WP-") &&
                    code.find_first_not_of(L"0123456789", 3) == std::wstring::npos);
    }
}

TEST(PollVerification, AcceptsTheCodeTypedOrSentThroughTheDeepLinkOncePerChat) {
    BotApi api;
    const std::string group = "{\"id\":-100123,\"title\":\"Ops\",\"type\":\"supergroup\"}";
    api.updates.push_back(Updates({
        Update(10, 501, kStart, Chat(42, ",\"first_name\":\"\\u0418\xD0\xB2\",\"last_name\":\"L\""),
               " wp-123456 "),
        Update(11, 502, kEnd, Chat(43, ",\"first_name\":\"B\",\"username\":\"bob\""),
               "/start WP-123456"),
        Update(12, 9, kStart + 2, group, "WP-123456"),
        Update(13, 10, kStart + 3, group, "/start WP-123456"),
    }));
    const PollResult poll = api.Poll();
    ASSERT_TRUE(poll.ok);
    EXPECT_EQ(poll.candidates,
              (std::vector<VerificationCandidate>{
                  {L"42", L"\u0418\u0432 L"}, {L"43", L"@bob"}, {L"-100123", L"(Unknown)"}}));
    EXPECT_EQ(api.offset, 14);
    EXPECT_EQ(poll.logLines.at(1), L"[Verify] Deleted setup message (ChatId=42, MessageId=501).");
    const auto deletes = api.Requests(L"deleteMessage");
    ASSERT_EQ(deletes.size(), 4u);  // every setup message goes, also the group's second one
    EXPECT_EQ(deletes[0].path, L"/bot1:A/deleteMessage?chat_id=42&message_id=501");
}

TEST(PollVerification, AForumTopicCountsOnlyWhenTheMessageItselfIsATopicMessage) {
    const std::string reply = R"("reply_to_message":{"message_id":3,"message_thread_id":3,)"
                              R"("is_topic_message":true,"caption":"{\"x\":1}"},)";
    // A reply in an ordinary group has a thread id but is no topic message.
    const std::pair<std::string, std::int64_t> rows[] = {
        {R"("message_thread_id":7,"is_topic_message":true,)", 7},
        {R"("is_topic_message" : true, "message_thread_id" : 8,)", 8},
        {R"("message_thread_id":7,)", 0},
        {R"("message_thread_id":7,"is_topic_message":false,)", 0},
        {R"("message_thread_id":5,)" + reply, 0},
        {reply + R"("message_thread_id":6,"is_topic_message":true,)", 6}};
    for (const auto& [members, topic] : rows) {
        BotApi api;
        api.updates.push_back(Updates({Update(1, 2, kStart, Chat(-100), "WP-123456")}));
        std::string& body = api.updates.back().body;
        body.insert(body.find("\"chat\""), members);
        const PollResult poll = api.Poll();
        ASSERT_EQ(poll.candidates.size(), 1u) << members;
        EXPECT_EQ(poll.candidates[0].messageThreadId, topic) << members;
    }
}

TEST(PollVerification, IgnoresUnrelatedAndOutOfWindowMessages) {
    BotApi api;
    const std::string t = std::to_string(kStart + 1);
    api.updates.push_back(Updates({
        Update(20, 1, kStart + 1, Chat(1), "/start"),
        Update(21, 2, kStart + 1, Chat(2), "/start other"),
        Update(28, 2, kStart + 1, Chat(2), "/start  WP-123456"),
        Update(29, 2, kStart + 1, Chat(2), "/startWP-123456"),
        Update(22, 3, kStart - 1, Chat(3), "WP-123456"),
        Update(23, 4, kEnd + 1, Chat(4), "WP-123456"),
        Update(24, 5, kStart + 1, "{\"type\":\"private\"}", "WP-123456"),
        Update(25, 6, kStart + 1, Chat(6), "WP-654321"),
        "{\"update_id\":26,\"message\":{\"chat\":{\"id\":7},\"date\":" + t + ",\"photo\":[]}}",
        "{\"update_id\":27,\"message\":{\"chat\":{\"id\":8},\"text\":\"WP-123456\"}}",
    }));
    api.offset = 20;
    const PollResult poll = api.Poll();
    ASSERT_TRUE(poll.ok);
    EXPECT_TRUE(poll.candidates.empty());
    EXPECT_EQ(poll.logLines,
              std::vector<std::wstring>(9, L"Ignored unrelated verification message."));
    EXPECT_EQ(api.offset, 30);  // every update counts, also the one without text
    EXPECT_TRUE(api.Requests(L"deleteMessage").empty());
}

TEST(PollVerification, ReportsFailedCleanUpMissingMessageIdsAndFailuresThatKeepTheOffset) {
    BotApi api;
    api.deleteReply = "{\"ok\":false,\"description\":\"Bad Request: message can't be deleted\"}";
    api.updates = {
        Updates({Update(1, 77, kStart + 1, Chat(5, ",\"first_name\":\"Ann\",\"last_name\":\"\""),
                        "WP-123456"),
                 "{\"update_id\":32,\"message\":{\"chat\":{\"id\":6},\"date\":" +
                     std::to_string(kStart + 1) + ",\"text\":\"WP-123456\"}}"}),
        Reply(409, "{\"ok\":false,\"description\":\"Conflict\"}"), Reply(200, ""),
        // An oversized answer is a failure, not a parse of its first part.
        testing::TransportFailure(HttpStage::TooLarge, 0)};
    const PollResult poll = api.Poll();
    EXPECT_EQ(poll.candidates,
              (std::vector<VerificationCandidate>{{L"5", L"Ann"}, {L"6", L"(Unknown)"}}));
    EXPECT_EQ(poll.logLines.at(1),
              L"[Verify] Failed to delete setup message (ChatId=5, "
              L"MessageId=77): Bad Request: message can't be deleted");
    EXPECT_EQ(poll.logLines.at(3),
              L"[Verify] No message_id found; skipping setup-message cleanup.");
    for (const wchar_t* error : {L"Conflict", L"Empty response from Telegram API.",
                                 L"The answer from Telegram API is too large."}) {
        const PollResult failed = api.Poll();
        EXPECT_FALSE(failed.ok);
        EXPECT_EQ(failed.error, error);
    }
    EXPECT_EQ(api.offset, 33);
}

TEST(VerificationWorker, DrainsUpdatesThatCannotCarryTheCodeThenPollsEveryTwoSeconds) {
    BotApi api;
    api.updates = {
        // 103 has no date and counts; 104 is dated in the window and is left for the polls.
        Updates({Update(100, 1, kStart - 10, Chat(1), "old"),
                 Update(104, 2, kStart, Chat(1), "WP-123456"),
                 Update(102, 3, kStart - 5, Chat(1), "older"),
                 "{\"update_id\":103,\"my_chat_member\":{}}"}),
        Updates({}), Updates({Update(105, 2, kStart + 1, Chat(1), "/start")}),
        Updates({Update(106, 3, kStart + 3, Chat(9, ",\"last_name\":\"Zed\""), "WP-123456")})};
    const auto result = api.Run(std::make_shared<std::atomic<bool>>(false));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->candidates, (std::vector<VerificationCandidate>{{L"9", L"Zed"}}));
    const auto polls = api.Requests(L"getUpdates");
    ASSERT_EQ(polls.size(), 4u);
    EXPECT_EQ(polls[0].path, L"/bot1:SECRET/getUpdates?timeout=0&limit=100");
    EXPECT_TRUE(polls[2].path.ends_with(L"&offset=104"));
    EXPECT_TRUE(polls[3].path.ends_with(L"&offset=106"));  // confirms what was processed
    EXPECT_EQ(api.logged.at(1), L"[Verify] Verification code matched. Sender=\"Zed\" ChatId=9");
    for (const auto& line : api.logged) EXPECT_EQ(line.find(L"SECRET"), std::wstring::npos);
}

TEST(VerificationWorker, ExpiresAfterTheDeadlineEvenWhenThePreDrainFailed) {
    BotApi api;
    api.updates = {Reply(200, "")};
    const auto result = api.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(OutcomeOf(*result), kVerificationExpired);
    EXPECT_EQ(ToUnixSeconds(api.clock.Now()), kEnd + 2);
    const auto polls = api.Requests(L"getUpdates");
    EXPECT_EQ(polls.size(), 1u + 91u);  // pre-drain, then t = 0, 2, ..., 180
    EXPECT_TRUE(polls.at(1).path.ends_with(L"&offset=0"));
    EXPECT_EQ(api.logged, (std::vector<std::wstring>{
                              L"[Verify] Could not pre-drain existing Telegram updates (Empty "
                              L"response from Telegram API.) - continuing verification from the "
                              L"current point."}));
}

std::string Refusal(int status, const std::string& extra = "") {
    return "{\"ok\":false,\"error_code\":" + std::to_string(status) + ",\"description\":\"No\"" +
           extra + "}";
}

// What getUpdates answers after the pre-drain (then the code arrives), the outcome, and the
// seconds from the start of each poll.
TEST(VerificationWorker, APollFailureIsRetriedUnlessTheTokenOrAddressIsWrong) {
    const std::tuple<HttpResponse, VerificationOutcome, std::vector<std::int64_t>> rows[] = {
        {Reply(502, Refusal(502)), kVerificationSucceeded, {0, 2}},
        {testing::TransportFailure(HttpStage::Receive, 12002), kVerificationSucceeded, {0, 2}},
        {Reply(429, Refusal(429, ",\"parameters\":{\"retry_after\":9}")),
         kVerificationSucceeded,
         {0, 10}},
        {Reply(401, Refusal(401)), kVerificationFailed, {0}},
        {Reply(404, Refusal(404)), kVerificationFailed, {0}}};
    for (const auto& [failure, outcome, pollSeconds] : rows) {
        BotApi api;
        api.updates = {Updates({}), failure,
                       Updates({Update(105, 2, kStart + 1, Chat(9), "WP-123456")})};
        std::vector<std::int64_t> seconds;
        api.transport.state->responder = [&,
                                          inner = api.transport.state->responder](auto& request) {
            if (request.path.find(L"/getUpdates") != std::wstring::npos)
                seconds.push_back(ToUnixSeconds(api.clock.Now()) - kStart);
            return inner(request);
        };
        const auto result = api.Run();
        ASSERT_TRUE(result);
        EXPECT_EQ(OutcomeOf(*result), outcome) << failure.status;
        seconds.erase(seconds.begin());  // the pre-drain
        EXPECT_EQ(seconds, pollSeconds) << failure.status;
    }
}

TEST(VerificationWorker, CancellationEndsWithoutAResult) {
    BotApi cancelling;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelling.transport.state->responder = [&](const HttpRequest&) {
        cancelled->store(cancelling.transport.Requests().size() == 2);  // during the first poll
        return Updates({});
    };
    EXPECT_FALSE(cancelling.Run(cancelled));
    EXPECT_EQ(cancelling.transport.Requests().size(), 2u);
}

}  // namespace
}  // namespace wrenpost

#include "telegram/Verification.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <random>

#include "common/SystemRandom.h"
#include "common/SafeText.h"
#include "common/Text.h"
#include "telegram/BotApiText.h"

namespace wrenpost {
namespace {

std::wstring AsciiUpper(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return text;
}

std::wstring DecodedField(std::wstring_view text, std::wstring_view key) {
    const auto raw = ExtractStringField(text, key);
    return raw ? StripUnsafeText(DecodeJsonString(*raw)) : std::wstring();
}

const wchar_t kIgnored[] = L"Ignored unrelated verification message.";

// The members of the objects at `depth` (the update itself is 1), nested values left out; string
// contents are kept, so a brace inside a text cannot shift the depth.
std::wstring MembersAtDepth(std::wstring_view text, int depth) {
    std::wstring out;
    int level = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool keep = level == depth;
        if (inString) {
            if (c == L'\\' && i + 1 < text.size()) {
                if (keep)
                    out.append(text.substr(i, 2));
                ++i;
                continue;
            }
            inString = c != L'"';
        } else if (c == L'"') {
            inString = true;
        } else if (c == L'{' || c == L'[') {
            ++level;
            if (level == depth + 1)
                out += L"null";  // the nested value, as a placeholder
            continue;
        } else if (c == L'}' || c == L']') {
            --level;
            continue;
        }
        if (keep)
            out.push_back(c);
    }
    return out;
}

bool IsTrueField(std::wstring_view text, std::wstring_view key) {
    const std::wstring quoted = L"\"" + std::wstring(key) + L"\"";
    std::size_t at = text.find(quoted);
    if (at == std::wstring_view::npos) {
        return false;
    }
    at += quoted.size();
    const auto skipSpace = [&] {
        while (at < text.size() &&
               (text[at] == L' ' || text[at] == L'\t' || text[at] == L'\r' || text[at] == L'\n')) {
            ++at;
        }
    };
    skipSpace();
    if (at >= text.size() || text[at] != L':') {
        return false;
    }
    ++at;
    skipSpace();
    return text.substr(at, 4) == L"true";
}

}  // namespace

std::int64_t ForumTopicOf(std::wstring_view update) {
    // update -> message -> its own members
    const std::wstring message = MembersAtDepth(update, 2);
    if (!IsTrueField(message, L"is_topic_message")) {
        return 0;
    }
    const auto thread = ExtractIntField(message, L"message_thread_id");
    return thread && *thread > 0 ? *thread : 0;
}

std::wstring GenerateVerificationCode() {
    // Whoever guesses the code while it is shown becomes a recipient: the system's generator.
    std::optional<std::uint32_t> number = SystemRandomBelow(1000000);
    if (!number) {
        // The system's generator does not fail in practice; a code must still be made.
        static std::mutex mutex;
        std::lock_guard lock(mutex);
        static std::mt19937 engine{std::random_device{}()};
        number = std::uniform_int_distribution<std::uint32_t>(0, 999999)(engine);
    }
    wchar_t digits[8];
    std::swprintf(digits, 8, L"%06u", static_cast<unsigned>(*number));
    return L"WP-" + std::wstring(digits);
}

std::wstring NormalizeVerificationText(std::wstring_view text) {
    std::wstring flat;
    flat.reserve(text.size());
    for (const wchar_t c : text) {
        if (c != L'\r' && c != L'\n') {
            flat.push_back(c);
        }
    }
    return AsciiUpper(TrimWhitespace(flat));
}

StartTextMatch MatchStartText(const std::wstring& textUpper, const std::wstring& codeUpper) {
    static const std::wstring kStart = L"/START";
    if (textUpper == kStart) {
        return kStartBare;
    }
    if (textUpper.size() > kStart.size() + 1 && textUpper.compare(0, kStart.size(), kStart) == 0 &&
        textUpper[kStart.size()] == L' ') {
        return textUpper.compare(kStart.size() + 1, std::wstring::npos, codeUpper) == 0
                   ? kStartMatchedCode
                   : kStartOtherCode;
    }
    return kStartNone;
}

std::wstring ChatDisplayName(std::wstring_view chatObject) {
    const std::wstring username = DecodedField(chatObject, L"username");
    if (!username.empty()) {
        return L"@" + username;
    }
    const std::wstring first = DecodedField(chatObject, L"first_name");
    const std::wstring last = DecodedField(chatObject, L"last_name");
    std::wstring name = !first.empty() && !last.empty() ? first + L" " + last
                        : first.empty()                 ? last
                                                        : first;
    return name.empty() ? L"(Unknown)" : name;
}

StartOffsetResult FetchStartOffset(const HttpTransport& transport, const std::wstring& token,
                                   std::int64_t startTime) {
    StartOffsetResult result;
    const TelegramGetResult got =
        TelegramGet(transport, MakeBotApiRequest(token, L"getUpdates", L"timeout=0&limit=100"));
    if (!got.ok) {
        result.error = got.error;
        return result;
    }
    const OkResult parsed = ParseOkResult(got.body);
    if (!parsed.ok) {
        result.error = parsed.error;
        return result;
    }
    std::optional<std::int64_t> largest;
    for (const std::wstring& item : parsed.items) {
        const auto date = ExtractIntField(item, L"date");
        if (date && *date >= startTime) {
            continue;  // may carry the code: leave it for the polls
        }
        const auto id = ExtractIntField(item, L"update_id");
        if (id && (!largest || *id > *largest)) {
            largest = id;
        }
    }
    result.ok = true;
    result.offset = largest ? *largest + 1 : 0;
    return result;
}

DeleteResult DeleteMessage(const HttpTransport& transport, const std::wstring& token,
                           const std::wstring& chatId, const std::wstring& messageId) {
    DeleteResult result;
    const TelegramGetResult got = TelegramGet(
        transport, MakeBotApiRequest(token, L"deleteMessage",
                                     L"chat_id=" + chatId + L"&message_id=" + messageId));
    if (!got.ok) {
        result.error = got.error;
        return result;
    }
    if (ContainsOkTrue(got.body)) {
        result.ok = true;
    } else {
        result.error = FindDescription(got.body).value_or(L"Telegram returned an error.");
    }
    return result;
}

namespace {

// Removes the message that carried the code from the chat; the log line says how it went.
std::wstring CleanUpSetupMessage(const HttpTransport& transport, const std::wstring& token,
                                 const std::wstring& chatId,
                                 std::optional<std::int64_t> messageId) {
    if (!messageId) {
        return L"[Verify] No message_id found; skipping setup-message cleanup.";
    }
    const std::wstring messageIdText = ToWideDecimal(*messageId);
    const DeleteResult deleted = DeleteMessage(transport, token, chatId, messageIdText);
    if (deleted.ok) {
        return L"[Verify] Deleted setup message (ChatId=" + chatId + L", MessageId=" +
               messageIdText + L").";
    }
    return L"[Verify] Failed to delete setup message (ChatId=" + chatId + L", MessageId=" +
           messageIdText + L"): " + deleted.error;
}

}  // namespace

PollResult PollVerification(const HttpTransport& transport, const std::wstring& token,
                            const std::wstring& code, std::int64_t windowStart,
                            std::int64_t windowEnd, std::int64_t& offset) {
    PollResult result;
    const TelegramGetResult got = TelegramGet(
        transport, MakeBotApiRequest(token, L"getUpdates",
                                     L"timeout=0&limit=100&offset=" + ToWideDecimal(offset)));
    result.httpStatus = got.status;
    if (!got.ok) {
        result.error = got.error;
        return result;
    }
    const OkResult parsed = ParseOkResult(got.body);
    if (!parsed.ok) {
        result.error = parsed.error;
        if (const auto parameters = ExtractFlatObject(got.body, L"parameters")) {
            result.retryAfterSeconds = ExtractIntField(*parameters, L"retry_after").value_or(0);
        }
        return result;
    }
    result.ok = true;
    const std::wstring expected = NormalizeVerificationText(code);
    std::optional<std::int64_t> largest;
    for (const std::wstring& item : parsed.items) {
        if (const auto id = ExtractIntField(item, L"update_id");
            id && (!largest || *id > *largest)) {
            largest = id;
        }
        const auto rawText = ExtractStringField(item, L"text");
        if (!rawText) {
            continue;
        }
        const auto date = ExtractIntField(item, L"date");
        const std::wstring chat = ExtractFlatObject(item, L"chat").value_or(L"");
        const auto chatIdNumber = ExtractIntField(chat, L"id");
        const std::wstring chatId = chatIdNumber ? ToWideDecimal(*chatIdNumber) : L"(unknown)";
        const auto messageId = ExtractIntField(item, L"message_id");
        const std::wstring name = ChatDisplayName(chat);

        const std::wstring text = NormalizeVerificationText(DecodeJsonString(*rawText));
        const StartTextMatch match = MatchStartText(text, expected);
        if (match == kStartBare) {
            result.logLines.push_back(kIgnored);
            continue;
        }
        const bool textMatches =
            match == kStartMatchedCode || (match == kStartNone && text == expected);
        const bool inWindow = date && *date >= windowStart && *date <= windowEnd;
        if (!textMatches || !inWindow || !chatIdNumber) {
            result.logLines.push_back(kIgnored);
            continue;
        }
        result.logLines.push_back(L"[Verify] Verification code matched. Sender=\"" + name +
                                  L"\" ChatId=" + chatId);
        result.logLines.push_back(CleanUpSetupMessage(transport, token, chatId, messageId));
        bool known = false;
        for (const VerificationCandidate& candidate : result.candidates) {
            known = known || candidate.chatId == chatId;
        }
        if (!known) {
            result.candidates.push_back({chatId, name, ForumTopicOf(item)});
        }
    }
    if (largest) {
        offset = *largest + 1;
    }
    return result;
}

std::optional<VerificationResult> RunVerification(const HttpTransport& transport,
                                                  const Clock& clock,
                                                  const VerificationRequest& request,
                                                  const CancelFlag& cancelled,
                                                  const LogLinesSink& logLines) {
    std::int64_t offset = 0;
    const StartOffsetResult drained = FetchStartOffset(transport, request.token, request.start);
    if (drained.ok) {
        offset = drained.offset;
    } else {
        logLines({L"[Verify] Could not pre-drain existing Telegram updates (" +
                  (drained.error.empty() ? std::wstring(L"no error detail") : drained.error) +
                  L") - continuing verification from the current point."});
    }
    // A failed poll is retried until the deadline; one that still fails then is what ends it.
    std::optional<std::wstring> lastFailure;
    auto nextPoll = clock.SteadyNow();
    while (true) {
        if (cancelled && cancelled->load()) {
            return std::nullopt;
        }
        if (ToUnixSeconds(clock.Now()) > request.deadline) {
            VerificationResult expired;
            expired.ok = !lastFailure;
            expired.error = lastFailure.value_or(L"");
            return expired;
        }
        if (clock.SteadyNow() < nextPoll) {
            clock.SleepFor(kVerificationPollInterval);
            continue;
        }
        PollResult poll = PollVerification(transport, request.token, request.code, request.start,
                                           request.deadline, offset);
        if (!poll.logLines.empty()) {
            logLines(std::move(poll.logLines));
        }
        if ((poll.ok && !poll.candidates.empty()) || (!poll.ok && IsFinalPollFailure(poll))) {
            VerificationResult done;
            done.ok = poll.ok;
            done.candidates = std::move(poll.candidates);
            done.error = std::move(poll.error);
            return done;
        }
        if (poll.ok) {
            lastFailure.reset();
        } else {
            if (!lastFailure) {  // once per run of failures, not every 2 s while Telegram is down
                logLines({L"[Verify] Checking Telegram for the code failed (" + poll.error +
                          L") - trying again."});
            }
            lastFailure = std::move(poll.error);
            // Bounded like the window itself, so a wild retry_after cannot overflow.
            nextPoll =
                clock.SteadyNow() + std::chrono::seconds(std::clamp<std::int64_t>(
                                        poll.retryAfterSeconds, 0, kVerificationWindowSeconds));
        }
        if (cancelled && cancelled->load()) {
            return std::nullopt;
        }
        clock.SleepFor(kVerificationPollInterval);
    }
}

bool IsFinalPollFailure(const PollResult& poll) {
    return poll.httpStatus == 401 || poll.httpStatus == 403 || poll.httpStatus == 404;
}

VerificationOutcome OutcomeOf(const VerificationResult& result) {
    if (!result.ok) {
        return kVerificationFailed;
    }
    return result.candidates.empty() ? kVerificationExpired : kVerificationSucceeded;
}

std::wstring FormatCountdown(std::int64_t secondsLeft) {
    if (secondsLeft < 0) {
        secondsLeft = 0;
    }
    wchar_t text[32];
    std::swprintf(text, 32, L"%02lld:%02lld", static_cast<long long>(secondsLeft / 60),
                  static_cast<long long>(secondsLeft % 60));
    return text;
}

std::wstring BotLink(std::wstring_view username) {
    if (!username.empty() && username.front() == L'@') {
        username.remove_prefix(1);
    }
    return kBotLinkAddress + std::wstring(username);
}

std::wstring VerificationDeepLink(std::wstring_view username, std::wstring_view code) {
    return BotLink(username) + L"?start=" + std::wstring(code);
}

}  // namespace wrenpost

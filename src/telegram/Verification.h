// Recipient verification: the one-use code, the getUpdates polling that looks for it, the
// clean-up of the user's message and the worker loop that runs until a match, the deadline or
// cancellation.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "telegram/BotApiHttp.h"

namespace wrenpost {

// "WP-" and six digits, uniform over 0..999999.
std::wstring GenerateVerificationCode();

enum StartTextMatch : int {
    kStartNone = 0,         // not a /start message; compare the whole text with the code
    kStartBare = 1,         // "/START" alone
    kStartOtherCode = 2,    // "/START " + something else
    kStartMatchedCode = 3,  // "/START " + the code
};
// Both arguments already upper-cased.
StartTextMatch MatchStartText(const std::wstring& textUpper, const std::wstring& codeUpper);

// CR and LF removed anywhere, surrounding white space trimmed, ASCII letters upper-cased.
std::wstring NormalizeVerificationText(std::wstring_view text);

struct VerificationCandidate {
    std::wstring chatId;
    std::wstring displayName;
    std::int64_t messageThreadId = 0;  // the forum topic the code was sent in; 0: none
    bool operator==(const VerificationCandidate&) const = default;
};

struct StartOffsetResult {
    bool ok = false;
    std::int64_t offset = 0;
    std::wstring error;
};
// Skips what was already queued before the window opened (updates dated before `startTime`).
StartOffsetResult FetchStartOffset(const HttpTransport& transport, const std::wstring& token,
                                   std::int64_t startTime);

struct PollResult {
    bool ok = false;
    std::vector<VerificationCandidate> candidates;
    std::vector<std::wstring> logLines;
    std::wstring error;
    std::uint32_t httpStatus = 0;        // of a failed poll; 0 when no answer arrived
    std::int64_t retryAfterSeconds = 0;  // the pause a 429 asked for
};
// A failed poll that no retry can mend (the token or the address is wrong); anything else is
// retried within the verification window.
bool IsFinalPollFailure(const PollResult& poll);
// One getUpdates from `offset`; on success `offset` moves past every update seen.
PollResult PollVerification(const HttpTransport& transport, const std::wstring& token,
                            const std::wstring& code, std::int64_t windowStart,
                            std::int64_t windowEnd, std::int64_t& offset);

struct DeleteResult {
    bool ok = false;
    std::wstring error;
};
DeleteResult DeleteMessage(const HttpTransport& transport, const std::wstring& token,
                           const std::wstring& chatId, const std::wstring& messageId);

// The forum topic an update's message was posted in: its message_thread_id when the message
// itself says "is_topic_message": true (a reply in an ordinary group carries a thread id too);
// 0 otherwise. Members of nested objects (the replied-to message) do not count.
std::int64_t ForumTopicOf(std::wstring_view update);

// The display name of a chat object: "@username", else first and last name, else "(Unknown)".
std::wstring ChatDisplayName(std::wstring_view chatObject);

inline constexpr std::int64_t kVerificationWindowSeconds = 180;
inline constexpr std::chrono::milliseconds kVerificationPollInterval{2000};

struct VerificationRequest {
    std::wstring token;
    std::wstring code;
    std::int64_t start = 0;     // seconds since 1970
    std::int64_t deadline = 0;  // start + 180
};

struct VerificationResult {
    bool ok = false;
    std::vector<VerificationCandidate> candidates;
    std::wstring error;
};

using CancelFlag = std::shared_ptr<std::atomic<bool>>;
using LogLinesSink = std::function<void(std::vector<std::wstring> lines)>;

// The worker: pre-drain, then a poll every 2 s until candidates, a final failure or the deadline;
// other failed polls are retried, no sooner than a 429's retry_after.
// nullopt when cancelled (nothing is to be delivered then).
std::optional<VerificationResult> RunVerification(const HttpTransport& transport,
                                                  const Clock& clock,
                                                  const VerificationRequest& request,
                                                  const CancelFlag& cancelled,
                                                  const LogLinesSink& logLines);

enum VerificationOutcome : int {
    kVerificationCancelled = 0,
    kVerificationSucceeded = 1,
    kVerificationExpired = 2,
    kVerificationFailed = 3,
};
VerificationOutcome OutcomeOf(const VerificationResult& result);

// "MM:SS" of the time left, never negative.
std::wstring FormatCountdown(std::int64_t secondsLeft);

// Telegram's public bot link and the verification deep link (one leading "@" dropped).
inline constexpr wchar_t kBotLinkAddress[] = L"https://t.me/";
std::wstring BotLink(std::wstring_view username);
std::wstring VerificationDeepLink(std::wstring_view username, std::wstring_view code);

}  // namespace wrenpost

// The token check (getMe with one retry) and the test send, as worker functions returning the
// records the main window receives, plus the main window's reading of those records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ActivityLog.h"
#include "common/Clock.h"
#include "common/Prompt.h"
#include "profile/ProfileConfig.h"
#include "telegram/BotApiHttp.h"
#include "telegram/NotificationProvider.h"

namespace wrenpost {

enum BotCheckErrorKind : std::uint32_t {
    kBotCheckNoError = 0,
    kBotCheckAuthorization = 1,  // the token was rejected
    kBotCheckOtherFailure = 2,   // network, empty or malformed response, other HTTP error
    kBotCheckRateLimited = 3,    // 429: asking again before retry_after only prolongs the wait
    kBotCheckNoAnswer = 4,       // the deadline passed: asking again would double a long wait
};

struct BotInfo {
    bool ok = false;
    std::wstring firstName;
    std::wstring username;  // without "@"
    std::wstring errorText;
    BotCheckErrorKind kind = kBotCheckNoError;
};

BotInfo GetBotInfo(const HttpTransport& transport, const std::wstring& token);

struct BotCheckResult {
    std::uint32_t generation = 0;
    std::wstring token;
    bool success = false;
    std::wstring botFirstName;
    std::wstring botUsername;
    std::wstring errorText;
    BotCheckErrorKind errorKind = kBotCheckNoError;
    bool retried = false;
    std::wstring firstAttemptError;
    std::wstring secondAttemptError;
};

inline constexpr std::chrono::milliseconds kBotCheckRetryDelay{750};

// One getMe; a kind-2 failure is retried once after 750 ms and the second outcome is final.
BotCheckResult RunBotCheck(const HttpTransport& transport, const Clock& clock,
                           const std::wstring& token, std::uint32_t generation);

// The window's check counter: a result is applied only when it belongs to the latest check.
class BotCheckGenerations {
public:
    std::uint32_t Next() { return ++current_; }
    // A form reset supersedes a running check without starting another.
    void Supersede() { ++current_; }
    bool IsCurrent(std::uint32_t generation) const { return generation == current_; }

private:
    std::uint32_t current_ = 0;
};

struct LogEntry {
    LogLevel level;
    std::wstring text;
    bool operator==(const LogEntry&) const = default;
};

// What the main window does with a current check result (before the token claim, which only
// it can make: `claimRefused` tells whether another instance got the token first).
struct BotCheckPresentation {
    std::vector<LogEntry> log;
    std::wstring botNameField;
    std::wstring botUsernameField;
    bool enableBotLinks = false;
    bool rememberToken = false;  // the validated token becomes this result's token
    bool forgetToken = false;    // the validated token is forgotten
    bool showDuplicatePrompt = false;
    PromptRequest prompt;  // when showDuplicatePrompt
};
BotCheckPresentation PresentBotCheckResult(const BotCheckResult& result, bool claimRefused);

// The duplicate-token message, with the bot's name appended when known.
PromptRequest DuplicateTokenPrompt(const std::wstring& botFirstName);

struct TestSendResult {
    std::uint32_t total = 0;
    std::uint32_t succeeded = 0;
    std::uint32_t failed = 0;
    std::vector<std::pair<std::wstring, std::wstring>> failures{};  // chat id, Telegram's reason
};

// The TEST command's worker: one test message per chat id, in order, each in its forum topic.
TestSendResult RunTestSend(const NotificationProviderFactory& factory, const std::wstring& token,
                           const std::vector<std::wstring>& chatIds,
                           const std::vector<RecipientTopic>& topics = {});

// The chat ids of the allowed recipients, in list order.
std::vector<std::wstring> AllowedChatIds(const std::vector<RecipientEntry>& recipients);

struct TestSendPresentation {
    LogEntry log;
    std::vector<LogEntry> failures;  // one ERROR line per recipient that did not get it
    std::wstring statusLine;
    PromptRequest prompt;
};
TestSendPresentation PresentTestSendResult(const TestSendResult& result);

}  // namespace wrenpost

#include "telegram/BotCheck.h"

#include <algorithm>

#include "common/SafeText.h"
#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "telegram/BotApiText.h"

namespace wrenpost {
namespace {

const wchar_t* StageName(HttpStage stage) {
    switch (stage) {
        case HttpStage::Session:
            return L"Session creation";
        case HttpStage::Connect:
        case HttpStage::OpenRequest:
            return L"Connect";
        case HttpStage::Send:
            return L"Send";
        default:
            return L"Receive";
    }
}

BotInfo Failure(BotCheckErrorKind kind, std::wstring text) {
    BotInfo info;
    info.kind = kind;
    info.errorText = std::move(text);
    return info;
}

}  // namespace

BotInfo GetBotInfo(const HttpTransport& transport, const std::wstring& token) {
    const HttpResponse response = transport(MakeBotApiRequest(token, L"getMe", L""));
    if (response.failedStage == HttpStage::TooLarge) {
        return Failure(kBotCheckOtherFailure,
                       FormatBotCheckError(L"Receive", L"The answer from Telegram API is too large",
                                           0, response.status));
    }
    if (response.failedStage == HttpStage::Deadline) {
        return Failure(kBotCheckNoAnswer, NoAnswerText(response));
    }
    if (response.failedStage != HttpStage::None) {
        return Failure(
            kBotCheckOtherFailure,
            FormatBotCheckError(StageName(response.failedStage),
                                DescribeWinHttpError(response.errorCode), response.errorCode, 0));
    }
    if (response.body.empty()) {
        return Failure(kBotCheckOtherFailure,
                       FormatBotCheckError(L"Receive", L"Empty response from Telegram API", 0,
                                           response.status));
    }
    const std::wstring body = Utf8ToWide(response.body);
    if (ContainsOkTrue(body)) {
        const auto firstName = ExtractStringField(body, L"first_name");
        const auto username = ExtractStringField(body, L"username");
        if (!firstName || !username) {
            return Failure(kBotCheckOtherFailure,
                           FormatBotCheckError(L"JSON parsing",
                                               L"Response did not contain the expected bot fields",
                                               0, response.status));
        }
        BotInfo info;
        info.ok = true;
        info.firstName = StripUnsafeText(DecodeJsonString(*firstName));
        info.username = StripUnsafeText(DecodeJsonString(*username));
        return info;
    }
    if (response.status == 429) {
        std::int64_t wait = 0;
        if (const auto parameters = ExtractFlatObject(body, L"parameters")) {
            wait = ExtractIntField(*parameters, L"retry_after").value_or(0);
        }
        return Failure(kBotCheckRateLimited, wait > 0 ? L"Telegram asks to wait " +
                                                            ToWideDecimal(wait) +
                                                            L" s before the next check."
                                                      : L"Telegram asks to wait before the next "
                                                        L"check.");
    }
    const auto description = FindDescription(body);
    BotCheckErrorKind kind = kBotCheckOtherFailure;
    if (response.status == 401) {
        kind = kBotCheckAuthorization;
    } else if (response.status == 403 && description) {
        std::wstring lower = *description;
        for (wchar_t& c : lower) {
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        for (const wchar_t* word : {L"unauthorized", L"forbidden", L"invalid"}) {
            if (lower.find(word) != std::wstring::npos) {
                kind = kBotCheckAuthorization;
            }
        }
    }
    return Failure(kind, FormatBotCheckError(L"Telegram authorization",
                                             description.value_or(L"Telegram returned an error"), 0,
                                             response.status));
}

BotCheckResult RunBotCheck(const HttpTransport& transport, const Clock& clock,
                           const std::wstring& token, std::uint32_t generation) {
    BotCheckResult result;
    result.generation = generation;
    result.token = token;
    BotInfo info = GetBotInfo(transport, token);
    if (!info.ok && info.kind == kBotCheckOtherFailure) {
        result.retried = true;
        result.firstAttemptError = info.errorText;
        clock.SleepFor(kBotCheckRetryDelay);
        info = GetBotInfo(transport, token);
        result.secondAttemptError = info.errorText;
    }
    result.success = info.ok;
    result.botFirstName = info.firstName;
    result.botUsername = info.username;
    result.errorText = info.errorText;
    result.errorKind = info.kind;
    return result;
}

PromptRequest DuplicateTokenPrompt(const std::wstring& botFirstName) {
    PromptRequest prompt;
    prompt.caption = L"Duplicate Bot Token";
    prompt.icon = PromptIcon::Warning;
    prompt.text =
        L"This Telegram Bot Token is already active in another running Wrenpost instance.\n\n"
        L"Each running instance must use a different Bot Token.\n\n"
        L"Please use another token or close the other instance first.";
    if (!botFirstName.empty()) {
        prompt.text += L"\n\nBot:\n" + botFirstName;
    }
    return prompt;
}

BotCheckPresentation PresentBotCheckResult(const BotCheckResult& result, bool claimRefused) {
    BotCheckPresentation out;
    const std::wstring requestId = L"\r\nRequest ID: " + ToWideDecimal(result.generation);
    if (result.retried) {
        out.log.push_back(
            {LogLevel::Warning, L"Attempt: 1\r\n" + result.firstAttemptError + requestId});
    }
    if (result.success) {
        if (claimRefused) {
            out.forgetToken = true;
            out.showDuplicatePrompt = true;
            out.prompt = DuplicateTokenPrompt(result.botFirstName);
            return out;
        }
        if (result.retried) {
            out.log.push_back(
                {LogLevel::Info, L"Telegram GetMe recovered on attempt 2" + requestId});
        }
        out.botNameField = result.botFirstName;
        out.botUsernameField = L"@" + result.botUsername;
        out.enableBotLinks = true;
        out.log.push_back({LogLevel::Info, L"Telegram bot detected: @" + result.botUsername});
        out.rememberToken = true;
        return out;
    }
    if (result.errorKind == kBotCheckRateLimited) {
        out.log.push_back({LogLevel::Warning, result.errorText});
        out.botNameField = result.errorText;
        return out;
    }
    out.log.push_back({LogLevel::Error,
                       (result.retried ? L"Attempt: 2\r\n" : L"") + result.errorText + requestId});
    out.botNameField = result.errorKind == kBotCheckAuthorization ? L"Invalid token"
                                                                  : L"Telegram connection failed";
    out.forgetToken = result.errorKind == kBotCheckAuthorization;
    return out;
}

TestSendResult RunTestSend(const NotificationProviderFactory& factory, const std::wstring& token,
                           const std::vector<std::wstring>& chatIds,
                           const std::vector<RecipientTopic>& topics) {
    TestSendResult result;
    for (const std::wstring& chatId : chatIds) {
        ++result.total;
        SendOptions options;
        const auto topic = std::find_if(topics.begin(), topics.end(), [&](const RecipientTopic& t) {
            return t.ChatId == chatId;
        });
        options.MessageThreadId = topic != topics.end() ? topic->MessageThreadId : 0;
        const auto provider = factory(token, chatId);
        const SendResult sent =
            provider ? provider->SendTest(options)
                     : SendResult{false, L"No notification channel is available.", 0, 0};
        if (sent.ok) {
            ++result.succeeded;
        } else {
            ++result.failed;
            result.failures.emplace_back(chatId, sent.reason);
        }
    }
    return result;
}

std::vector<std::wstring> AllowedChatIds(const std::vector<RecipientEntry>& recipients) {
    std::vector<std::wstring> ids;
    for (const RecipientEntry& entry : recipients) {
        if (entry.Allowed) {
            ids.push_back(entry.ChatId);
        }
    }
    return ids;
}

TestSendPresentation PresentTestSendResult(const TestSendResult& result) {
    TestSendPresentation out;
    for (const auto& [chatId, reason] : result.failures) {
        out.failures.push_back({LogLevel::Error, L"Test notification failed for recipient " +
                                                     chatId + L": " + reason});
    }
    if (result.failed == 0) {
        out.log = {LogLevel::Info, L"Test notification sent successfully to " +
                                       ToWideDecimal(result.succeeded) + L" recipient(s)."};
        out.statusLine = L"Status: Test Sent";
        out.prompt.caption = L"Success";
        out.prompt.text = L"Test message sent successfully.";
        out.prompt.icon = PromptIcon::Information;
    } else if (result.succeeded == 0) {
        out.log = {LogLevel::Error, L"Failed to send test notification to all " +
                                        ToWideDecimal(result.total) + L" recipient(s)."};
        out.statusLine = L"Status: Test Failed";
        out.prompt.caption = L"Test Failed";
        out.prompt.text = L"Failed to send test message.";
        out.prompt.icon = PromptIcon::Error;
    } else {
        out.log = {LogLevel::Error, L"Test notification: " + ToWideDecimal(result.succeeded) +
                                        L" succeeded, " + ToWideDecimal(result.failed) +
                                        L" failed."};
        out.statusLine = L"Status: Test Partially Sent";
        out.prompt.caption = L"Partial Success";
        out.prompt.text =
            L"Test message sent to some recipients, but failed for others. Check "
            L"the log for details.";
        out.prompt.icon = PromptIcon::Warning;
    }
    return out;
}

}  // namespace wrenpost

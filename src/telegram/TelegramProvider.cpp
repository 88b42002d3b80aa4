#include "telegram/TelegramProvider.h"

#include "common/Text.h"
#include "telegram/BotApiText.h"

namespace wrenpost {

std::wstring ComposeMessageText(const std::wstring& title, const std::wstring& body) {
    return CapMessageText(title + L"\n\n" + body);
}

HttpRequest MakeSendMessageRequest(std::wstring_view token, std::wstring_view chatId,
                                   std::wstring_view text, const SendOptions& options) {
    std::wstring query = L"chat_id=" + UrlEncode(chatId);
    if (options.MessageThreadId != 0) {
        query += L"&message_thread_id=" + ToWideDecimal(options.MessageThreadId);
    }
    query += L"&text=" + UrlEncode(text);
    if (options.Silent) {
        query += L"&disable_notification=true";
    }
    if (options.DisableLinkPreview) {
        query += L"&link_preview_options=" + UrlEncode(L"{\"is_disabled\":true}");
    }
    HttpRequest request = MakeBotApiRequest(token, L"sendMessage", query);
    request.timeouts = kSendMessageTimeouts;
    request.deadline = kSendMessageDeadline;
    return request;
}

SendResult TelegramProvider::Send(const std::wstring& title, const std::wstring& body,
                                  const SendOptions& options) {
    SendResult result;
    if (botToken_.empty() || chatId_.empty()) {
        result.reason = L"Bot Token or recipient Chat ID is not configured.";
        return result;
    }
    const HttpResponse response = transport_(
        MakeSendMessageRequest(botToken_, chatId_, ComposeMessageText(title, body), options));
    if (response.failedStage == HttpStage::TooLarge) {
        result.httpStatus = response.status;
        result.reason = L"Telegram returned an oversized response (HTTP " +
                        ToWideDecimal(response.status) + L").";
        return result;
    }
    // A status that arrived before the deadline is Telegram's answer (200: delivered, whatever
    // followed); without one the outcome is unknown and the outbox tries again.
    if (response.failedStage == HttpStage::Deadline && response.status == 0) {
        result.reason = NoAnswerText(response);
        return result;
    }
    if (response.failedStage != HttpStage::None && response.failedStage != HttpStage::Read &&
        response.failedStage != HttpStage::Deadline) {
        result.reason = FormatConnectError(response.errorCode);
        return result;
    }
    result.httpStatus = response.status;
    if (response.status == 200) {
        result.ok = true;
        return result;
    }
    const std::wstring answer = Utf8ToWide(response.body);
    if (const auto parameters = ExtractFlatObject(answer, L"parameters")) {
        if (const auto retryAfter = ExtractIntField(*parameters, L"retry_after");
            retryAfter && *retryAfter > 0) {
            result.retryAfterSeconds = *retryAfter;
        }
    }
    if (const auto description = FindDescription(answer)) {
        result.reason = L"Telegram rejected the message (HTTP " + ToWideDecimal(response.status) +
                        L"): " + *description;
        return result;
    }
    result.reason = response.status != 0
                        ? L"Telegram returned an unexpected response (HTTP " +
                              ToWideDecimal(response.status) + L")."
                        : std::wstring(L"Telegram returned an invalid or empty response.");
    return result;
}

NotificationProviderFactory TelegramProviderFactory(HttpTransport transport) {
    return
        [transport = std::move(transport)](const std::wstring& token, const std::wstring& chatId) {
            return std::unique_ptr<NotificationProvider>(
                std::make_unique<TelegramProvider>(token, chatId, transport));
        };
}

}  // namespace wrenpost

#include "telegram/TelegramProvider.h"

#include "common/Text.h"
#include "telegram/BotApiText.h"

namespace wrenpost {

std::wstring ComposeMessageText(const std::wstring& title, const std::wstring& body) {
    return CapMessageText(title + L"\n\n" + body);
}

HttpRequest MakeSendMessageRequest(std::wstring_view token, std::wstring_view chatId,
                                   std::wstring_view text) {
    HttpRequest request = MakeBotApiRequest(
        token, L"sendMessage", L"chat_id=" + UrlEncode(chatId) + L"&text=" + UrlEncode(text));
    request.shortTimeouts = true;
    return request;
}

bool TelegramProvider::Send(const std::wstring& title, const std::wstring& body) {
    std::wstring& error = LastSendError();
    error.clear();
    if (botToken_.empty() || chatId_.empty()) {
        error = L"Bot Token or recipient Chat ID is not configured.";
        return false;
    }
    const HttpResponse response =
        transport_(MakeSendMessageRequest(botToken_, chatId_, ComposeMessageText(title, body)));
    if (response.failedStage != HttpStage::None && response.failedStage != HttpStage::Read) {
        error = FormatConnectError(response.errorCode);
        return false;
    }
    if (response.status == 200) {
        return true;
    }
    if (!response.body.empty()) {
        if (const auto description = FindDescription(Utf8ToWide(response.body))) {
            error = L"Telegram rejected the message (HTTP " + ToWideDecimal(response.status) +
                    L"): " + *description;
            return false;
        }
    }
    error = response.status != 0 ? L"Telegram returned an unexpected response (HTTP " +
                                       ToWideDecimal(response.status) + L")."
                                 : std::wstring(L"Telegram returned an invalid or empty response.");
    return false;
}

NotificationProviderFactory TelegramProviderFactory(HttpTransport transport) {
    return
        [transport = std::move(transport)](const std::wstring& token, const std::wstring& chatId) {
            return std::unique_ptr<NotificationProvider>(
                std::make_unique<TelegramProvider>(token, chatId, transport));
        };
}

}  // namespace wrenpost

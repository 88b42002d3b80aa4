// The Telegram implementation of the notification channel: one sendMessage per notification.
#pragma once

#include <string>

#include "telegram/BotApiHttp.h"
#include "telegram/NotificationProvider.h"

namespace wrenpost {

class TelegramProvider final : public NotificationProvider {
public:
    TelegramProvider(std::wstring botToken, std::wstring chatId, HttpTransport transport)
        : botToken_(std::move(botToken)),
          chatId_(std::move(chatId)),
          transport_(std::move(transport)) {}

    using NotificationProvider::Send;
    SendResult Send(const std::wstring& title, const std::wstring& body,
                    const SendOptions& options) override;
    std::wstring Name() const override { return L"Telegram"; }

private:
    std::wstring botToken_;
    std::wstring chatId_;
    HttpTransport transport_;
};

// title + two line feeds + body, capped to Telegram's length limit.
std::wstring ComposeMessageText(const std::wstring& title, const std::wstring& body);

// The sendMessage request for one recipient; each option adds its parameter only when set.
HttpRequest MakeSendMessageRequest(std::wstring_view token, std::wstring_view chatId,
                                   std::wstring_view text, const SendOptions& options = {});

NotificationProviderFactory TelegramProviderFactory(HttpTransport transport);

}  // namespace wrenpost

#include "telegram/BotApiHttp.h"

#include "common/Text.h"

namespace wrenpost {

HttpRequest MakeBotApiRequest(std::wstring_view token, std::wstring_view method,
                              std::wstring_view encodedQuery) {
    HttpRequest request;
    request.path = L"/bot";
    request.path.append(token);
    request.path += L"/";
    request.path.append(method);
    if (encodedQuery.empty()) {
        return request;
    }
    const std::size_t addressBytes = WideToUtf8(request.path).size() + 1 + encodedQuery.size();
    if (addressBytes <= kMaxGetAddressBytes) {
        request.path += L"?";
        request.path.append(encodedQuery);
        return request;
    }
    request.method = L"POST";
    request.contentType = L"application/x-www-form-urlencoded";
    request.body = WideToUtf8(encodedQuery);
    return request;
}

std::wstring NoAnswerText(const HttpResponse& response) {
    return L"Telegram did not answer within " + ToWideDecimal(DeadlineSeconds(response.deadline)) +
           L" s.";
}

TelegramGetResult TelegramGet(const HttpTransport& transport, const HttpRequest& request) {
    TelegramGetResult result;
    const HttpResponse response = transport(request);
    result.status = response.status;
    switch (response.failedStage) {
        case HttpStage::Session:
            result.error = L"Failed to open HTTP session.";
            return result;
        case HttpStage::Connect:
            result.error = L"Failed to connect to Telegram API.";
            return result;
        case HttpStage::OpenRequest:
            result.error = L"Failed to create HTTP request.";
            return result;
        case HttpStage::Send:
        case HttpStage::Receive:
            result.error = L"Failed to send request to Telegram API.";
            return result;
        case HttpStage::TooLarge:
            result.error = L"The answer from Telegram API is too large.";
            return result;
        case HttpStage::Deadline:
            result.error = NoAnswerText(response);
            return result;
        case HttpStage::Read:
            // A body cut off midway could parse as a shorter, complete-looking answer.
            result.error = L"The answer from Telegram API was cut off.";
            return result;
        case HttpStage::None:
            break;
    }
    if (response.status >= 300 && response.status < 400) {
        result.error = L"Telegram API answered with a redirect (HTTP " +
                       ToWideDecimal(response.status) + L"), which is not followed.";
        return result;
    }
    if (response.body.empty()) {
        result.error = L"Empty response from Telegram API.";
        return result;
    }
    result.ok = true;
    result.body = Utf8ToWide(response.body);
    return result;
}

}  // namespace wrenpost

#include "ui/message/MessageOptionsInput.h"

#include "common/Text.h"

namespace wrenpost {
namespace {

// Digits only, at most `maxDigits` of them.
std::optional<std::int32_t> Digits(std::wstring_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return std::nullopt;
    }
    std::int32_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - L'0');
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> ParseWholeNumber(std::wstring_view text, std::int32_t minimum,
                                             std::int32_t maximum) {
    const std::optional<std::int32_t> value = Digits(TrimWhitespace(text), 9);
    if (!value || *value < minimum || *value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> ParseClockTime(std::wstring_view text) {
    const std::wstring trimmed = TrimWhitespace(text);
    const std::size_t colon = trimmed.find(L':');
    if (colon == std::wstring::npos) {
        return std::nullopt;
    }
    const std::wstring_view all(trimmed);
    const std::optional<std::int32_t> hours = Digits(all.substr(0, colon), 2);
    const std::wstring_view minutePart = all.substr(colon + 1);
    const std::optional<std::int32_t> minutes =
        minutePart.size() == 2 ? Digits(minutePart, 2) : std::nullopt;
    if (!hours || !minutes || *hours > 23 || *minutes > 59) {
        return std::nullopt;
    }
    return *hours * 60 + *minutes;
}

std::wstring FormatClockTime(std::int32_t minutes) {
    const std::int32_t hours = minutes / 60 % 24;
    const std::int32_t rest = minutes % 60;
    std::wstring text;
    text += static_cast<wchar_t>(L'0' + hours / 10);
    text += static_cast<wchar_t>(L'0' + hours % 10);
    text += L':';
    text += static_cast<wchar_t>(L'0' + rest / 10);
    text += static_cast<wchar_t>(L'0' + rest % 10);
    return text;
}

NotificationMail SampleNotificationMail(std::int64_t deliveryUtcTicks) {
    NotificationMail mail;
    mail.Subject = L"Quarterly report ready for review";
    mail.SenderName = L"Dana Whitfield";
    mail.SenderAddress = L"dana.whitfield@example.com";
    mail.Body =
        L"Hi team,\r\n\r\nThe quarterly report is ready. Please review the figures in section 3 "
        L"before Thursday's meeting and send me your comments by Wednesday evening.\r\n\r\n"
        L"The draft is in the shared folder; the final version goes to the board on Friday.\r\n\r\n"
        L"Thanks,\r\nDana";
    mail.DeliveryTimeKnown = true;
    mail.DeliveryUtcTicks = deliveryUtcTicks;
    return mail;
}

}  // namespace wrenpost

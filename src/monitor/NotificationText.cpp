// A notification's text: the subject, then at the richer levels who sent it and when, then the
// start of the body - always within Telegram's 4,096 units, giving up preview before headers.
#include "monitor/NotificationText.h"

#include <algorithm>

#include "common/Text.h"

namespace wrenpost {
namespace {

constexpr wchar_t kEllipsis = 0x2026;
constexpr std::size_t kWordSearchUnits = 20;
constexpr std::wstring_view kNoSubject = L"(no subject)";
constexpr std::wstring_view kSummarySeparator = L" \u00B7 ";

bool IsWhiteSpace(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x85 || u == 0xA0 || u == 0x1680 ||
           (u >= 0x2000 && u <= 0x200A) || u == 0x2028 || u == 0x2029 || u == 0x202F ||
           u == 0x205F || u == 0x3000;
}

std::wstring CollapseWhiteSpace(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    bool spacePending = false;
    for (const wchar_t c : text) {
        if (IsWhiteSpace(c)) {
            spacePending = !out.empty();
            continue;
        }
        if (spacePending) {
            out.push_back(L' ');
            spacePending = false;
        }
        out.push_back(c);
    }
    return out;
}

// The start of `text` that fits `maxUnits`, then "…"; the ellipsis is the caller's to count.
std::wstring CutWithEllipsis(std::wstring_view text, std::size_t maxUnits) {
    std::wstring out(text.substr(0, Utf16FittingPrefix(text, maxUnits)));
    out.push_back(kEllipsis);
    return out;
}

std::wstring Capped(std::wstring text, std::size_t maxUnits) {
    if (Utf16Length(text) <= maxUnits) {
        return text;
    }
    return maxUnits == 0 ? std::wstring() : CutWithEllipsis(text, maxUnits - 1);
}

bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](wchar_t x, wchar_t y) {
               return fold(x) == fold(y);
           });
}

std::wstring SubjectText(const std::wstring& subject) {
    return TrimWhitespace(subject).empty() ? std::wstring(kNoSubject) : subject;
}

// "Name <address>", the name or the address alone, or empty when neither is known. What is not
// an SMTP address (an Exchange X.500 path) is no address to show.
std::wstring SenderText(const NotificationMail& mail) {
    const std::wstring name = CollapseWhiteSpace(mail.SenderName);
    std::wstring address = CollapseWhiteSpace(mail.SenderAddress);
    if (address.find(L'@') == std::wstring::npos) {
        address.clear();
    }
    if (name.empty() || address.empty() || EqualIgnoringAsciiCase(name, address)) {
        return name.empty() ? address : name;
    }
    return name + L" <" + address + L">";
}

std::wstring ReceivedText(const NotificationMail& mail, const DeliveryTimeFormatter& formatTime) {
    if (!mail.DeliveryTimeKnown || !formatTime) {
        return {};
    }
    return CollapseWhiteSpace(formatTime(mail.DeliveryUtcTicks));
}

struct HeaderParts {
    std::wstring Subject, Sender, Received;
};

HeaderParts ReadHeaderParts(const NotificationMail& mail, const MessageOptions& options,
                            const DeliveryTimeFormatter& formatTime) {
    HeaderParts parts{SubjectText(mail.Subject), {}, {}};
    if (options.Content != MessageContent::SubjectOnly) {
        parts.Sender = SenderText(mail);
        parts.Received = ReceivedText(mail, formatTime);
    }
    return parts;
}

std::wstring HeaderLines(const HeaderParts& parts) {
    std::wstring text = parts.Subject;
    if (!parts.Sender.empty()) {
        text += L"\nFrom: " + parts.Sender;
    }
    if (!parts.Received.empty()) {
        text += L"\nReceived: " + parts.Received;
    }
    return text;
}

std::wstring SummaryOf(const std::wstring& title, const HeaderParts& parts) {
    std::wstring line = CollapseWhiteSpace(title);
    const auto add = [&line](std::wstring_view label, const std::wstring& value) {
        if (value.empty()) {
            return;
        }
        if (!line.empty()) {
            line += kSummarySeparator;
        }
        line += label;
        line += value;
    };
    add(L"", CollapseWhiteSpace(parts.Subject));
    add(L"From: ", parts.Sender);
    add(L"Received: ", parts.Received);
    return Capped(std::move(line), kSummaryLineCap);
}

// The preview that fits `room` units, or nothing when not even a character does.
std::wstring PreviewWithin(std::wstring_view body, std::size_t length, std::size_t room) {
    if (room < 2) {
        return {};
    }
    std::wstring preview = BodyPreview(body, std::min(length, room));
    if (Utf16Length(preview) > room) {
        preview = BodyPreview(body, room - 1);  // room for the ellipsis
    }
    return preview;
}

}  // namespace

std::wstring BodyPreview(std::wstring_view body, std::size_t maxUnits) {
    const std::wstring text = CollapseWhiteSpace(body);
    const std::size_t fit = Utf16FittingPrefix(text, maxUnits);
    if (fit == text.size()) {
        return text;
    }
    // A space at `fit` ends the last whole word that fits; one further back is accepted only
    // within the final 20 units, so a long word is cut rather than dropped.
    const std::size_t earliest =
        Utf16FittingPrefix(text, maxUnits > kWordSearchUnits ? maxUnits - kWordSearchUnits : 0);
    const std::size_t space = text.rfind(L' ', fit);
    const std::size_t cut = space != std::wstring::npos && space >= earliest ? space : fit;
    std::wstring out = text.substr(0, cut);
    out.push_back(kEllipsis);
    return out;
}

NotificationText BuildNotificationText(const std::wstring& title, const NotificationMail& mail,
                                       const MessageOptions& options,
                                       const DeliveryTimeFormatter& formatTime) {
    const HeaderParts parts = ReadHeaderParts(mail, options, formatTime);
    NotificationText out;
    out.SummaryLine = SummaryOf(title, parts);
    out.DisableLinkPreview = options.Content == MessageContent::Preview;

    // The provider sends title + "\n\n" + Body; what the title leaves is this text's room.
    const std::size_t titleUnits = Utf16Length(title) + 2;
    const std::size_t room = titleUnits < kMessageTextCap ? kMessageTextCap - titleUnits : 0;
    out.Body = HeaderLines(parts);
    const std::size_t headerUnits = Utf16Length(out.Body);
    if (headerUnits > room) {
        out.Body = Capped(std::move(out.Body), room);
        return out;
    }
    if (options.Content == MessageContent::Preview) {
        const auto length = static_cast<std::size_t>(std::clamp(
            options.PreviewLength, MessageOptions::kMinPreviewLength,
            MessageOptions::kMaxPreviewLength));
        const std::size_t left = room - headerUnits;
        const std::wstring preview = PreviewWithin(mail.Body, length, left > 2 ? left - 2 : 0);
        if (!preview.empty()) {
            out.Body += L"\n\n" + preview;
        }
    }
    return out;
}

}  // namespace wrenpost

// The notification text at each message level, to the byte: senders that could break a format,
// Exchange senders, other scripts, empty and enormous parts, and cuts beside a surrogate pair.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "monitor/NotificationText.h"

namespace wrenpost {
namespace {

constexpr MessageContent kSubject = MessageContent::SubjectOnly;
constexpr MessageContent kSender = MessageContent::SenderAndTime;
constexpr MessageContent kPreview = MessageContent::Preview;
const std::wstring kEmoji = L"\U0001F600";  // two UTF-16 units

std::wstring Repeat(std::wstring_view part, std::size_t times) {
    std::wstring out;
    for (std::size_t i = 0; i < times; ++i) {
        out += part;
    }
    return out;
}

std::wstring FixedTime(std::int64_t ticks) {
    return ticks == 17653500000000000 ? L"07/12/2026 09:15" : L"?";
}

NotificationMail Mail(std::wstring subject, std::wstring name = L"", std::wstring address = L"",
                      std::wstring body = L"", bool timeKnown = true) {
    return {std::move(subject), std::move(name), std::move(address), std::move(body), timeKnown,
            17653500000000000};
}

struct TextCase {
    const char* Name;
    MessageContent Level;
    std::int32_t PreviewLength;
    NotificationMail Mail;
    std::wstring Body;
};

TEST(NotificationText, EachLevelToTheByte) {
    const std::wstring words = Repeat(L"abcd ", 2000);  // 10,000 characters
    const TextCase cases[] = {
        {"subject only is today's text", kSubject, 200,
         Mail(L"Quarterly report", L"Ana", L"ana@example.com", L"Hi"), L"Quarterly report"},
        {"empty subject", kSubject, 200, Mail(L""), L"(no subject)"},
        {"blank subject, sender level", kSender, 200, Mail(L" \t", L"Ana", L"", L"", false),
         L"(no subject)\nFrom: Ana"},
        {"comma and quotes", kSender, 200, Mail(L"Hi", L"Lima, Ana \"AL\"", L"ana@example.com"),
         L"Hi\nFrom: Lima, Ana \"AL\" <ana@example.com>\nReceived: 07/12/2026 09:15"},
        {"Exchange path is no address", kSender, 200,
         Mail(L"Hi", L"Boss", L"/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=BOSS"),
         L"Hi\nFrom: Boss\nReceived: 07/12/2026 09:15"},
        {"address equal to the name", kSender, 200,
         Mail(L"Hi", L"Ana@Example.com", L"ana@example.com", L"", false),
         L"Hi\nFrom: Ana@Example.com"},
        {"address without name, no time", kSender, 200,
         Mail(L"Hi", L"", L"ana@example.com", L"", false), L"Hi\nFrom: ana@example.com"},
        {"nothing known of the sender", kSender, 200, Mail(L"Hi", L"", L"", L"", false), L"Hi"},
        {"non-Latin preview", kPreview, 200,
         Mail(L"\u041e\u0442\u0447\u0451\u0442", L"\u0418\u0432\u0430\u043d", L"ivan@example.ru",
              L"\u0414\u043e\u0431\u0440\u044b\u0439 \u0434\u0435\u043d\u044c,\r\n\r\n  "
              L"\u0432\u043e\u0442\t\u043e\u0442\u0447\u0451\u0442. "),
         L"\u041e\u0442\u0447\u0451\u0442\nFrom: \u0418\u0432\u0430\u043d <ivan@example.ru>\n"
         L"Received: 07/12/2026 09:15\n\n\u0414\u043e\u0431\u0440\u044b\u0439 "
         L"\u0434\u0435\u043d\u044c, \u0432\u043e\u0442 \u043e\u0442\u0447\u0451\u0442."},
        {"10,000-character body cut at a space", kPreview, 200, Mail(L"Hi", L"", L"", words, false),
         L"Hi\n\n" + Repeat(L"abcd ", 39) + L"abcd\u2026"},
        {"white space only body", kPreview, 200, Mail(L"Hi", L"", L"", L" \r\n\t\u00a0 ", false),
         L"Hi"},
        {"surrogate pair at the cut", kPreview, 10,
         Mail(L"Hi", L"", L"", L"123456789" + kEmoji + L"tail", false), L"Hi\n\n123456789\u2026"},
        {"pair just fits", kPreview, 11, Mail(L"Hi", L"", L"", L"123456789" + kEmoji + L"t", false),
         L"Hi\n\n123456789" + kEmoji + L"\u2026"},
        {"no space in the final 20 units", kPreview, 200,
         Mail(L"Hi", L"", L"", L"ab " + Repeat(L"x", 300), false),
         L"Hi\n\nab " + Repeat(L"x", 197) + L"\u2026"},
        {"preview gives way to a long subject", kPreview, 200,
         Mail(Repeat(L"S", 4000), L"", L"", words, false),
         Repeat(L"S", 4000) + L"\n\n" + Repeat(L"abcd ", 15) + L"abcd\u2026"},
        {"headers alone pass the cap", kPreview, 200,
         Mail(Repeat(L"S", 5000), L"", L"", words, false), Repeat(L"S", 4085) + L"\u2026"},
        {"header cut keeps a pair whole", kSubject, 200, Mail(Repeat(L"S", 4084) + kEmoji + L"x"),
         Repeat(L"S", 4084) + L"\u2026"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.Name);
        MessageOptions options;
        options.Content = c.Level;
        options.PreviewLength = c.PreviewLength;
        const NotificationText text = BuildNotificationText(L"New mail", c.Mail, options, FixedTime);
        EXPECT_EQ(WideToUtf8(text.Body), WideToUtf8(c.Body));
        EXPECT_EQ(text.DisableLinkPreview, c.Level == kPreview);
        EXPECT_LE(Utf16Length(L"New mail\n\n" + text.Body), kMessageTextCap);
    }
}

TEST(NotificationText, SummaryLineShowsTheLevelOnOneLineWithoutPreview) {
    const NotificationMail mail =
        Mail(L"Line\r\none", L"Lima, Ana", L"ana@example.com", L"Body text");
    const struct {
        MessageContent Level;
        NotificationMail Mail;
        std::wstring Line;
    } cases[] = {
        {kSubject, mail, L"New mail \u00b7 Line one"},
        {kPreview, mail,
         L"New mail \u00b7 Line one \u00b7 From: Lima, Ana <ana@example.com> \u00b7 Received: "
         L"07/12/2026 09:15"},
        {kSubject, Mail(Repeat(L"S", 189) + kEmoji), L"New mail \u00b7 " + Repeat(L"S", 188) +
                                                         L"\u2026"},
    };
    for (const auto& c : cases) {
        MessageOptions options;
        options.Content = c.Level;
        const NotificationText text = BuildNotificationText(L"New mail", c.Mail, options, FixedTime);
        EXPECT_EQ(WideToUtf8(text.SummaryLine), WideToUtf8(c.Line));
        EXPECT_LE(Utf16Length(text.SummaryLine), kSummaryLineCap);
    }
}

}  // namespace
}  // namespace wrenpost

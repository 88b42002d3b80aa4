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
const std::wstring kCut = L"\u2026";

NotificationMail Mail(std::wstring subject, std::wstring name = L"", std::wstring address = L"",
                      std::wstring body = L"", bool timeKnown = true) {
    return {std::move(subject), std::move(name), std::move(address),
            std::move(body),    timeKnown,       17653500000000000};
}

NotificationText Build(MessageContent level, const NotificationMail& mail,
                       int previewLength = 200) {
    MessageOptions options;
    options.Content = level;
    options.PreviewLength = previewLength;
    return BuildNotificationText(L"New mail", mail, options, [](std::int64_t ticks) {
        return ticks == 17653500000000000 ? L"07/12/2026 09:15" : L"?";
    });
}

TEST(NotificationText, EachLevelToTheByte) {
    std::wstring words;  // 10,000 characters
    while (words.size() < 10000) words += L"abcd ";
    const std::wstring ivan = L"\u0418\u0432\u0430\u043d",
                       report = L"\u041e\u0442\u0447\u0451\u0442";
    const struct {
        const char* Name;
        MessageContent Level;
        int PreviewLength;
        NotificationMail Mail;
        std::wstring Body;
    } cases[] = {
        {"subject only is today's text", kSubject, 200, Mail(L"Report", L"Ana", L"a@x.org", L"Hi"),
         L"Report"},
        {"empty subject", kSubject, 200, Mail(L""), L"(no subject)"},
        {"comma and quotes", kSender, 200, Mail(L"Hi", L"Lima, Ana \"AL\"", L"ana@example.com"),
         L"Hi\nFrom: Lima, Ana \"AL\" <ana@example.com>\nReceived: 07/12/2026 09:15"},
        {"Exchange path is no address", kSender, 200, Mail(L"Hi", L"Boss", L"/O=EXCH/CN=BOSS"),
         L"Hi\nFrom: Boss\nReceived: 07/12/2026 09:15"},
        {"address equal to the name", kSender, 200, Mail(L"Hi", L"A@X.org", L"a@x.org", L"", false),
         L"Hi\nFrom: A@X.org"},
        {"nothing known of the sender", kSender, 200, Mail(L"Hi", L"", L"", L"", false), L"Hi"},
        {"non-Latin", kPreview, 200,
         Mail(report, ivan, L"i@x.ru", ivan + L",\r\n\r\n  " + report + L"\t."),
         report + L"\nFrom: " + ivan + L" <i@x.ru>\nReceived: 07/12/2026 09:15\n\n" + ivan + L", " +
             report + L" ."},
        {"10,000-character body cut at a space", kPreview, 200, Mail(L"Hi", L"", L"", words, false),
         L"Hi\n\n" + words.substr(0, 199) + kCut},
        {"white space only body", kPreview, 200, Mail(L"Hi", L"", L"", L" \r\n\t\u00a0 ", false),
         L"Hi"},
        {"surrogate pair at the cut", kPreview, 10,
         Mail(L"Hi", L"", L"", L"123456789" + kEmoji + L"tail", false), L"Hi\n\n123456789" + kCut},
        {"pair just fits", kPreview, 11, Mail(L"Hi", L"", L"", L"123456789" + kEmoji + L"t", false),
         L"Hi\n\n123456789" + kEmoji + kCut},
        {"no space in the final 20 units", kPreview, 200,
         Mail(L"Hi", L"", L"", L"ab " + std::wstring(300, L'x'), false),
         L"Hi\n\nab " + std::wstring(197, L'x') + kCut},
        {"preview gives way to a long subject", kPreview, 200,
         Mail(std::wstring(4000, L'S'), L"", L"", words, false),
         std::wstring(4000, L'S') + L"\n\n" + words.substr(0, 79) + kCut},
        {"headers alone pass the cap", kPreview, 200,
         Mail(std::wstring(5000, L'S'), L"", L"", words), std::wstring(4085, L'S') + kCut},
        {"header cut keeps a pair whole", kSubject, 200,
         Mail(std::wstring(4084, L'S') + kEmoji + L"x"), std::wstring(4084, L'S') + kCut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const NotificationText text = Build(c.Level, c.Mail, c.PreviewLength);
        EXPECT_EQ(WideToUtf8(text.Body), WideToUtf8(c.Body));
        EXPECT_EQ(text.DisableLinkPreview, c.Level == kPreview);
        EXPECT_LE(Utf16Length(L"New mail\n\n" + text.Body), kMessageTextCap);
    }
}

TEST(NotificationText, SummaryLineShowsTheLevelOnOneLineWithoutPreview) {
    const NotificationMail mail = Mail(L"Line\r\none", L"Lima, Ana", L"a@x.org", L"Body text");
    EXPECT_EQ(Build(kSubject, mail).SummaryLine, L"New mail \u00b7 Line one");
    EXPECT_EQ(Build(kPreview, mail).SummaryLine,
              L"New mail \u00b7 Line one \u00b7 From: Lima, Ana <a@x.org> \u00b7 Received: "
              L"07/12/2026 09:15");
    EXPECT_EQ(Build(kSubject, Mail(std::wstring(189, L'S') + kEmoji)).SummaryLine,
              L"New mail \u00b7 " + std::wstring(188, L'S') + kCut);  // 200 units with the cut
}

}  // namespace
}  // namespace wrenpost

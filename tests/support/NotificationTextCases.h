// The notification texts of every message level, to the byte: senders that could break a format,
// Exchange senders, other scripts, empty and enormous parts, and cuts beside a surrogate pair.
#pragma once

#include <string>
#include <vector>

#include "monitor/NotificationText.h"

namespace wrenpost::testing {

inline constexpr MessageContent kSubject = MessageContent::SubjectOnly;
inline constexpr MessageContent kSender = MessageContent::SenderAndTime;
inline constexpr MessageContent kPreview = MessageContent::Preview;
inline const std::wstring kTitle = L"New mail";
inline const std::wstring kEmoji = L"\U0001F600";  // two UTF-16 units
inline const std::wstring kCut = L"\u2026";
inline constexpr std::int64_t kCaseDelivery = 17653500000000000;

// The locale's short date and time of the cases' delivery time; anything else is a fault.
inline std::wstring CaseTime(std::int64_t ticks) {
    return ticks == kCaseDelivery ? L"07/12/2026 09:15" : L"?";
}

inline NotificationMail CaseMail(std::wstring subject, std::wstring name = L"",
                                 std::wstring address = L"", std::wstring body = L"",
                                 bool timeKnown = true) {
    return {std::move(subject), std::move(name), std::move(address),
            std::move(body),    timeKnown,       kCaseDelivery};
}

struct NotificationTextCase {
    const char* Name;
    MessageContent Level;
    int PreviewLength;
    NotificationMail Mail;
    std::wstring Body;  // what follows the title's "\n\n"
};

inline std::vector<NotificationTextCase> NotificationTextCases() {
    std::wstring words;  // 10,000 characters
    while (words.size() < 10000) words += L"abcd ";
    const std::wstring ivan = L"\u0418\u0432\u0430\u043d",
                       report = L"\u041e\u0442\u0447\u0451\u0442";
    return {
        {"subject only is today's text", kSubject, 200,
         CaseMail(L"Report", L"Ana", L"a@x.org", L"Hi"), L"Report"},
        {"empty subject", kSubject, 200, CaseMail(L""), L"(no subject)"},
        {"comma, quotes and what a URL escapes", kSender, 200,
         CaseMail(L"Q&A = #1 + 100%", L"Lima, Ana \"AL\"", L"ana@example.com"),
         L"Q&A = #1 + 100%\nFrom: Lima, Ana \"AL\" <ana@example.com>\nReceived: 07/12/2026 09:15"},
        {"Exchange path is no address", kSender, 200, CaseMail(L"Hi", L"Boss", L"/O=EXCH/CN=BOSS"),
         L"Hi\nFrom: Boss\nReceived: 07/12/2026 09:15"},
        {"address equal to the name", kSender, 200,
         CaseMail(L"Hi", L"A@X.org", L"a@x.org", L"", false), L"Hi\nFrom: A@X.org"},
        {"nothing known of the sender", kSender, 200, CaseMail(L"Hi", L"", L"", L"", false), L"Hi"},
        {"non-Latin", kPreview, 200,
         CaseMail(report, ivan, L"i@x.ru", ivan + L",\r\n\r\n  " + report + L"\t."),
         report + L"\nFrom: " + ivan + L" <i@x.ru>\nReceived: 07/12/2026 09:15\n\n" + ivan + L", " +
             report + L" ."},
        {"10,000-character body cut at a space", kPreview, 200,
         CaseMail(L"Hi", L"", L"", words, false), L"Hi\n\n" + words.substr(0, 199) + kCut},
        {"white space only body", kPreview, 200,
         CaseMail(L"Hi", L"", L"", L" \r\n\t\u00a0 ", false), L"Hi"},
        {"surrogate pair at the cut", kPreview, 10,
         CaseMail(L"Hi", L"", L"", L"123456789" + kEmoji + L"tail", false),
         L"Hi\n\n123456789" + kCut},
        {"pair just fits", kPreview, 11,
         CaseMail(L"Hi", L"", L"", L"123456789" + kEmoji + L"t", false),
         L"Hi\n\n123456789" + kEmoji + kCut},
        {"no space in the final 20 units", kPreview, 200,
         CaseMail(L"Hi", L"", L"", L"ab " + std::wstring(300, L'x'), false),
         L"Hi\n\nab " + std::wstring(197, L'x') + kCut},
        {"preview gives way to a long subject", kPreview, 200,
         CaseMail(std::wstring(4000, L'S'), L"", L"", words, false),
         std::wstring(4000, L'S') + L"\n\n" + words.substr(0, 79) + kCut},
        {"headers alone pass the cap", kPreview, 200,
         CaseMail(std::wstring(5000, L'S'), L"", L"", words), std::wstring(4085, L'S') + kCut},
        {"header cut keeps a pair whole", kSubject, 200,
         CaseMail(std::wstring(4084, L'S') + kEmoji + L"x"), std::wstring(4084, L'S') + kCut},
    };
}

}  // namespace wrenpost::testing

// The notification text at each message level, to the byte, and its one-line summary.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "monitor/NotificationText.h"
#include "support/NotificationTextCases.h"

namespace wrenpost {
namespace {

using namespace testing;

NotificationText Build(MessageContent level, const NotificationMail& mail,
                       int previewLength = 200) {
    MessageOptions options;
    options.Content = level;
    options.PreviewLength = previewLength;
    return BuildNotificationText(kTitle, mail, options, CaseTime);
}

TEST(NotificationText, EachLevelToTheByte) {
    for (const NotificationTextCase& c : NotificationTextCases()) {
        SCOPED_TRACE(c.Name);
        const NotificationText text = Build(c.Level, c.Mail, c.PreviewLength);
        EXPECT_EQ(WideToUtf8(text.Body), WideToUtf8(c.Body));
        EXPECT_EQ(text.DisableLinkPreview, c.Level == kPreview);
        EXPECT_LE(Utf16Length(kTitle + L"\n\n" + text.Body), kMessageTextCap);
    }
}

TEST(NotificationText, SummaryLineShowsTheLevelOnOneLineWithoutPreview) {
    const NotificationMail mail = CaseMail(L"Line\r\none", L"Lima, Ana", L"a@x.org", L"Body text");
    EXPECT_EQ(Build(kSubject, mail).SummaryLine, L"New mail \u00b7 Line one");
    EXPECT_EQ(Build(kPreview, mail).SummaryLine,
              L"New mail \u00b7 Line one \u00b7 From: Lima, Ana <a@x.org> \u00b7 Received: "
              L"07/12/2026 09:15");
    EXPECT_EQ(Build(kSubject, CaseMail(std::wstring(189, L'S') + kEmoji)).SummaryLine,
              L"New mail \u00b7 " + std::wstring(188, L'S') + kCut);  // 200 units with the cut
}

}  // namespace
}  // namespace wrenpost

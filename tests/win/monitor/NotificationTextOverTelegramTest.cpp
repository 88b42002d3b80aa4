// Every notification text of the shared table through a monitor session wired as the window
// wires it (outbox on disk, TelegramProvider over WinHTTP) to the strict fake Bot API: what
// arrives is the text to the byte, with the parameters its level asks for and nothing else.
#include <gtest/gtest.h>
#include <windows.h>

#include "MonitorFakes.h"
#include "common/Text.h"
#include "monitor/MonitorDependencies_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/NotificationTextCases.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using namespace testing;

TEST(NotificationTextOverTelegram, EachCaseArrivesToTheByteWithItsLevelsParameters) {
    FakeBotApiServer telegram;
    ASSERT_TRUE(telegram.Start() && telegram.ServeAsTelegram());
    for (const NotificationTextCase& c : NotificationTextCases()) {
        SCOPED_TRACE(c.Name);
        TempDir dir;
        ProfileConfig profile = InboxProfile();
        profile.DefaultTitle = kTitle;
        profile.Message.Content = c.Level;
        profile.Message.PreviewLength = c.PreviewLength;
        ASSERT_TRUE(SaveProfileConfig(dir / L"WorkConfig.json", profile));
        // clang-format off
        const MailSnapshot mail{L"\\\\Ann\\Inbox", c.Mail.Subject, c.Mail.SenderName,
            c.Mail.SenderAddress, c.Mail.Body, L"", L"E1", L"S1", L"", c.Mail.DeliveryUtcTicks,
            MapiDeliveryTime, c.Mail.DeliveryTimeKnown, L""};
        // clang-format on
        MonitorDependencies deps = WindowsMonitorDependencies(nullptr);
        deps.RunWorker = false;
        deps.FormatTime = CaseTime;
        deps.ReadFolders = [&mail](const MailReadRequest&) {
            return MailReadResult{true, {mail}, {}};
        };
        deps.ReadDetails = nullptr;  // the mail carries what Outlook gave
        MonitorEngine engine(std::move(deps));
        // Backlog mode: the cases' mails are older than the session.
        ASSERT_TRUE(engine.Start({L"Work", dir.Path(), L"123:ABC", 1, true, {}, {}, {}}));
        const std::size_t before = telegram.Requests("sendMessage").size();
        ASSERT_EQ(engine.RunCycle(), MonitorCycleResult::Completed);  // settles its send
        engine.Stop();
        const auto sent = telegram.Requests("sendMessage");
        ASSERT_EQ(sent.size(), before + 1);
        std::map<std::string, std::string> expected{
            {"chat_id", "4242"}, {"text", WideToUtf8(kTitle + L"\n\n" + c.Body)}};
        if (c.Level == kPreview) {
            expected["link_preview_options"] = R"({"is_disabled":true})";
        }
        EXPECT_EQ(sent.back().parameters, expected);
    }
}

}  // namespace
}  // namespace wrenpost

// Adding and managing recipients through the real windows under wine: the fake Bot API plays the
// user who sends the code; the managed list comes from a loaded profile.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <string>

#include "common/Text.h"
#include "profile/ProfileConfig.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeClock.h"
#include "support/Screenshot_win.h"
#include "ui/recipients/RecipientsManager_win.h"
#include "ui/recipients/VerificationWindow_win.h"
#include "ui/rules/RuleDialog_win.h"
#include "win/ui/ClipboardProbe.h"
#include "win/ui/ProfileAndMonitorFixture.h"

namespace wrenpost {
namespace {

// Each wait of the verification worker moves it on instead: the three minutes pass unwaited.
const testing::FakeClock instantClock;  // outlives the workers

void ExpectControlsInside(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= client.right &&
                    place.bottom <= client.bottom)
            << GetDlgCtrlID(child);
    }
}

class RecipientsWindowsTest : public ProfileAndMonitorTest {
public:
    void SetUp() override {
        ProfileAndMonitorTest::SetUp();
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(server_.ServeAsTelegram());
    }
    // The real Telegram client against the fake server, and a checked token.
    void OpenChecked(const Clock* clock = nullptr) {
        Open([clock](MainWindowServices& services) {
            services.telegramTransport = nullptr;
            services.clock = clock;
        });
        SetText(kIdAccessToken, kToken);
        Click(kIdCheckBot);
        Pump([this] { return window_->ValidatedToken() == kToken; });
    }
    // Get Chat ID; `whileOpen` runs inside the verification window's loop, given its window.
    void Verify(std::function<bool(HWND)> whileOpen) {
        WhenReady(OnWindow(kVerificationWindowClass, std::move(whileOpen)));
        Click(kIdGetChatId);  // returns once the window is gone
    }
    // The user sends the shown code to the bot from chat 4242; `members` go into the message.
    void SendCode(HWND dialog, const std::string& members = "") {
        wchar_t code[16] = {};
        GetDlgItemTextW(dialog, 101, code, 16);
        const std::string date = std::to_string(std::time(nullptr));
        ++updateId_;
        server_.AddUpdate(updateId_, R"({"update_id":)" + std::to_string(updateId_) +
                                         R"(,"message":{"message_id":55,)" + members +
                                         R"("date":)" + date +
                                         R"(,"chat":{"id":4242,"first_name":"Ann",)"
                                         R"("username":"ann_w"},"text":")" +
                                         WideToUtf8(code) + R"("}})");
    }
    std::vector<std::wstring> Captions() const {
        std::vector<std::wstring> captions;
        for (const PromptRequest& request : prompts_.Requests()) {
            captions.push_back(request.caption);
        }
        return captions;
    }

    testing::FakeBotApiServer server_;
    std::int64_t updateId_ = 0;
};

TEST_F(RecipientsWindowsTest, EachOutcomeOfTheVerificationWindowReachesTheMainWindow) {
    // Success, then the same chat again.
    OpenChecked();
    Verify([this](HWND dialog) {
        SendCode(dialog);
        EXPECT_TRUE(testing::CopiesOnlyAsSecret(GetDlgItem(dialog, 101)));
        testing::SaveScreenshot(dialog, L"verification-window");
        ExpectControlsInside(dialog);
        return true;
    });
    ASSERT_EQ(window_->Recipients().size(), 1u);
    EXPECT_EQ(window_->Recipients()[0].DisplayName, L"@ann_w");
    EXPECT_EQ(window_->StatusText(), L"Status: Chat ID Selected");
    // Sent again from a forum topic: the recipient's notifications go there from now on.
    Verify([this](HWND dialog) {
        SendCode(dialog, R"("message_thread_id":5,"is_topic_message":true,)");
        return true;
    });
    EXPECT_EQ(window_->Recipients().size(), 1u);
    EXPECT_EQ(window_->RecipientTopics(), (std::vector<RecipientTopic>{{L"4242", 5}}));
    EXPECT_EQ(Captions(),
              (std::vector<std::wstring>{L"Verification Successful",
                                         L"Recipient Already Registered", L"Recipient Details"}));

    // Cancel mid-poll: the window goes at once, and the user's late message changes nothing.
    Verify([this](HWND dialog) {
        MSG escape{dialog, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
        IsDialogMessageW(dialog, &escape);
        SendCode(dialog);
        return true;
    });
    Pump([] { return false; }, 3s);  // a poll in flight may still run
    EXPECT_EQ(Captions().size(), 3u);
    EXPECT_EQ(window_->Recipients().size(), 1u);

    // The manager shows the topic after the name and clears it.
    WhenReady(OnWindow(kRecipientsManagerClass, [](HWND manager) {
        EXPECT_EQ(WindowText(GetDlgItem(manager, 9560)), L"@ann_w (topic 5)");
        testing::SaveScreenshot(manager, L"recipients-manager-topic");
        SendDlgItemMessageW(manager, 9600, BM_CLICK, 0, 0);
        SendDlgItemMessageW(manager, 9503, BM_CLICK, 0, 0);
        return true;
    }));
    Click(kIdManageRecipients);
    EXPECT_TRUE(window_->RecipientTopics().empty());

    // Asked to close while verification runs, the main window stays and so does the dialog.
    Verify([this](HWND dialog) {
        SendMessageW(window_->Window(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(dialog));
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    });
    EXPECT_TRUE(IsWindow(window_->Window()));
    DestroyWindow(window_->Window());

    // Nobody sends the code before the (shortened) deadline.
    OpenChecked(&instantClock);
    Verify([](HWND) { return true; });
    EXPECT_EQ(Captions().back(), L"Telegram Verification");
    EXPECT_EQ(window_->StatusText(), L"Status: Verification Failed");
}

TEST_F(RecipientsWindowsTest, TheManagerEditsACopyThatOnlyOkAppliesAndShowsDeliveries) {
    ProfileConfig profile;
    for (const wchar_t* id : {L"1", L"2", L"3"}) {
        profile.Recipients.push_back(
            {id, std::wstring(L"User ") + id, true, L"2099-01-01 08:00:00", L"Never"});
    }
    OpenDesk(profile);
    const std::vector<RecipientEntry> loaded = window_->Recipients();
    ASSERT_EQ(loaded.size(), 3u);

    // Disallows the first, deletes the second, sees a delivery to the third, then closes.
    const auto manage = [this](int closeWith) {
        WhenReady(OnWindow(kRecipientsManagerClass, [this, closeWith](HWND manager) {
            SendDlgItemMessageW(manager, 9510, BM_CLICK, 0, 0);
            SendDlgItemMessageW(manager, 9531, BM_CLICK, 0, 0);
            auto delivered = std::make_unique<RecipientNotifiedRecord>();
            delivered->chatId = L"3";
            delivered->when = L"2026-12-07 09:30:00";
            PostRecord(window_->Window(), kRecipientNotifiedMessage, std::move(delivered));
            Pump([manager] {  // the last notification in the second row
                return WindowText(GetDlgItem(manager, 9581)) == L"2026-12-07 09:30:00";
            });
            testing::SaveScreenshot(manager, L"recipients-manager");
            ExpectControlsInside(manager);
            SendDlgItemMessageW(manager, closeWith, BM_CLICK, 0, 0);
            return true;
        }));
        Click(kIdManageRecipients);
    };
    manage(9504);  // Cancel
    std::vector<RecipientEntry> expected = loaded;
    expected[2].LastNotification = L"2026-12-07 09:30:00";  // the main window's own record
    EXPECT_EQ(window_->Recipients(), expected);
    manage(9503);  // OK
    expected[0].Allowed = false;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(window_->Recipients(), expected);
    EXPECT_EQ(window_->ControlText(kIdRecipientCount), L"2");
    // Enter on the delete question answers No.
    const std::vector<PromptRequest> question = Boxes(L"Delete Recipient");
    ASSERT_FALSE(question.empty());
    EXPECT_EQ(question[0].defaultButton, PromptRequest::Default::Second);
}

}  // namespace
}  // namespace wrenpost

// The main window's form under wine: its layout at the sizes and DPIs that matter, the folder
// tree and titles, stale bot checks, the tray, and leaving while a dialog is open.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "common/PostedRecord_win.h"
#include "outlook/FolderDiscovery_win.h"
#include "support/Screenshot_win.h"
#include "telegram/TelegramMessages_win.h"
#include "ui/main/AboutDialog_win.h"
#include "ui/main/MainWindow_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

RECT ClientRectOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The answer of the window's first check, as its worker posts it.
std::unique_ptr<BotCheckResultRecord> CheckAnswer() {
    auto record = std::make_unique<BotCheckResultRecord>();
    record->result.generation = 1;
    record->result.token = L"123456:sample-token";
    record->result.success = true;
    record->result.botFirstName = L"Sample Bot";
    record->result.botUsername = L"sample_bot";
    return record;
}

class MainWindowTest : public MainWindowFixture {
public:
    // Checks the tree item of the folder "Inbox\Orders" with the keyboard, as a person would.
    void CheckOrdersWithSpace() {
        Click(kIdDetectFolders);
        Pump([this] { return IsWindowEnabled(window_->Control(kIdDetectFolders)) != FALSE; });
        HWND tree = window_->Control(kIdFolderTree);
        TreeView_Expand(tree, TreeView_GetRoot(tree), TVE_EXPAND);
        const HTREEITEM inbox = TreeView_GetChild(tree, TreeView_GetRoot(tree));
        TreeView_Expand(tree, inbox, TVE_EXPAND);
        const HTREEITEM item = TreeView_GetChild(tree, inbox);
        ASSERT_NE(item, nullptr);
        TreeView_SelectItem(tree, item);
        SetFocus(tree);
        SendMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
        SendMessageW(tree, WM_KEYUP, VK_SPACE, 0);
        Pump([this] { return window_->ControlText(kIdFoldersCount) == L"Folders: 1"; });
    }

    // Every control where the layout puts it for the window's present client area.
    void ExpectPlacedByTheLayout() {
        RECT client{};
        GetClientRect(window_->Window(), &client);
        const FormLayout layout =
            LayoutMainForm(client.right, client.bottom, static_cast<int>(window_->Dpi()),
                           GetSystemMetricsForDpi(SM_CXVSCROLL, window_->Dpi()));
        ASSERT_FALSE(layout.controls.empty());
        for (const PlacedControl& placed : layout.controls) {
            const RECT got = ClientRectOf(window_->Control(placed.id));
            const FormRect& want = placed.place;
            EXPECT_EQ(got.left, want.x) << placed.id;
            EXPECT_EQ(got.top, want.y - window_->ScrollOffset()) << placed.id;
            EXPECT_EQ(got.right - got.left, want.width) << placed.id;
            if (FindFormControl(placed.id)->kind != ControlKind::DropDown) {
                EXPECT_EQ(got.bottom - got.top, want.height) << placed.id;
            }
        }
    }
};

// Below the minimum: FitsASmallScreenAndEveryButtonCanBeScrolledTo.
TEST_F(MainWindowTest, LaysOutTheFormAtTheMinimumSize) {
    Open();
    SetWindowPos(window_->Window(), nullptr, 0, 0, 900, 964, SWP_NOZORDER | SWP_NOMOVE);
    ExpectPlacedByTheLayout();
    testing::SaveScreenshot(window_->Window(), L"main-window-minimum");
}

TEST_F(MainWindowTest, At144DpiEveryControlIsTheNinetySixDpiOneTimesOneAndAHalf) {
    // Small enough that one and a half times the window still fits the test's screen.
    Open([](MainWindowServices& services) {
        services.workArea = [](HWND) { return RECT{0, 0, 800, 700}; };
    });
    RECT window{}, client{};
    GetWindowRect(window_->Window(), &window);
    GetClientRect(window_->Window(), &client);
    const SIZE frame{window.right - window.left - client.right,
                     window.bottom - window.top - client.bottom};
    SetWindowPos(window_->Window(), nullptr, 0, 0, 800 + frame.cx, 700 + frame.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    std::map<int, RECT> base;
    for (const FormControl& control : MainFormControls()) {
        base[control.id] = ClientRectOf(window_->Control(control.id));
    }
    GetWindowRect(window_->Window(), &window);
    RECT suggested{window.left, window.top, window.left + 1200 + frame.cx,
                   window.top + 1050 + frame.cy};
    SendMessageW(window_->Window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(window_->Dpi(), 144u);
    GetClientRect(window_->Window(), &client);
    ASSERT_EQ(client.right, 1200);
    ASSERT_EQ(client.bottom, 1050);
    testing::SaveScreenshot(window_->Window(), L"main-window-144dpi");
    for (const FormControl& control : MainFormControls()) {
        if (control.kind == ControlKind::DropDown || control.id == kIdDetachButton) {
            continue;  // the drop-down's height is the font's; the scroll bar's width is the
                       // system's
        }
        const RECT a = base[control.id];
        const RECT b = ClientRectOf(window_->Control(control.id));
        for (auto [unscaled, scaled] : {std::pair{a.left, b.left},
                                        {a.top, b.top},
                                        {a.right, b.right},
                                        {a.bottom, b.bottom}}) {
            EXPECT_NEAR(scaled, unscaled * 1.5, 1.0) << control.id;
        }
    }
}

TEST_F(MainWindowTest, FitsASmallScreenAndEveryButtonCanBeScrolledTo) {
    const RECT area{0, 0, 1366, 768};
    Open([&area](MainWindowServices& services) {
        services.workArea = [area](HWND) { return area; };
    });
    RECT window{};
    GetWindowRect(window_->Window(), &window);
    EXPECT_GE(window.left, area.left);
    EXPECT_GE(window.top, area.top);
    EXPECT_LE(window.right, area.right);
    EXPECT_LE(window.bottom, area.bottom);
    testing::SaveScreenshot(window_->Window(), L"main-window-1366x768");

    RECT client{};
    GetClientRect(window_->Window(), &client);
    const auto visible = [&](int id) {
        const RECT rect = ClientRectOf(window_->Control(id));
        return rect.top >= 0 && rect.bottom <= client.bottom;
    };
    for (const FormControl& control : MainFormControls()) {
        const bool clickable = control.kind == ControlKind::Button ||
                               control.kind == ControlKind::OwnerDrawnButton ||
                               control.kind == ControlKind::CheckBox;
        if (!clickable) {
            continue;
        }
        SendMessageW(window_->Window(), WM_VSCROLL, SB_TOP, 0);
        if (!visible(control.id)) {
            SendMessageW(window_->Window(), WM_VSCROLL, SB_BOTTOM, 0);
        }
        EXPECT_TRUE(visible(control.id)) << control.id;
    }
    ExpectPlacedByTheLayout();
}

TEST_F(MainWindowTest, SpaceOnATreeItemChecksTheFolderAndSetTitlesOnlyTheSelectedRow) {
    Open();
    CheckOrdersWithSpace();
    ASSERT_EQ(window_->CheckedFolders().size(), 1u);
    EXPECT_EQ(window_->CheckedFolders()[0].FolderPath, L"Inbox\\Orders");

    Click(kIdTitlesNo);
    EXPECT_TRUE(IsWindowVisible(window_->Control(kIdFolderTitleList)));
    EXPECT_FALSE(IsWindowVisible(window_->Control(kIdNotificationTitle)));
    HWND list = window_->Control(kIdFolderTitleList);
    ASSERT_EQ(ListView_GetItemCount(list), 1);
    SetText(kIdFolderTitle, L"  Orders!  ");
    Click(kIdSetFolderTitle);  // no row selected: nothing changes
    EXPECT_TRUE(window_->FolderTitles().empty());

    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    SetText(kIdFolderTitle, L"  Orders!  ");
    Click(kIdSetFolderTitle);
    ASSERT_EQ(window_->FolderTitles().size(), 1u);
    EXPECT_EQ(window_->FolderTitles()[0], (FolderTitle{L"Inbox\\Orders", L"Orders!"}));
    wchar_t shown[64] = {};
    ListView_GetItemText(list, 0, 1, shown, 64);
    EXPECT_STREQ(shown, L"Orders!");

    SetText(kIdProfileName, L"Orders desk");
    SetText(kIdAccessToken, L"123456:sample-token");
    Click(kIdCheckBot);
    PostRecord(window_->Window(), kBotCheckResultMessage, CheckAnswer());
    Pump([this] { return window_->ControlText(kIdBotName) == L"Sample Bot"; });
    testing::SaveScreenshot(window_->Window(), L"main-window-profile");
}

TEST_F(MainWindowTest, AnUnansweredDetectionIsGivenUpAndNeverStackedOrAppliedLate) {
    int launches = 0;
    Open([&launches](MainWindowServices& services) {
        services.folderDetectionTimeout = std::chrono::milliseconds(200);
        services.startFolderDetection = [&launches](HWND) { return ++launches > 0; };  // hangs
    });
    Click(kIdDetectFolders);
    Click(kIdDetectFolders);  // joins the running one
    Pump([this] { return IsWindowEnabled(window_->Control(kIdLoad)) != FALSE; });
    EXPECT_EQ(launches, 1);
    EXPECT_EQ(window_->ControlText(kIdStatusLine), L"Status: Outlook Detect Failed");
    EXPECT_TRUE(Logged(L"Outlook did not answer folder detection within"));

    Click(kIdClear);  // asked again while the given-up worker still blocks in Outlook
    EXPECT_EQ(launches, 1);
    auto late = std::make_unique<FolderDiscoveryRecord>();
    late->Found = true;
    late->Folders = {Folder(L"Mailbox", L"Late")};
    PostRecord(window_->Window(), kFolderDiscoveryMessage, std::move(late));
    Pump([&launches] { return launches == 2; });
    EXPECT_EQ(launches, 2);  // the waiting request starts afresh
    EXPECT_EQ(TreeView_GetCount(window_->Control(kIdFolderTree)),
              0u);  // the late answer is dropped
}

TEST_F(MainWindowTest, ACheckResultAfterClearOrATokenEditIsDropped) {
    const struct {
        const char* name;
        std::function<void(MainWindowTest&)> between;
        const wchar_t* botName;
    } cases[] = {
        {"nothing", [](MainWindowTest&) {}, L"Sample Bot"},
        {"CLEAR",
         [this](MainWindowTest& t) {
             prompts_.QueueAnswer(PromptAnswer::No);  // the typed token is not saved
             t.Click(kIdClear);
         },
         L""},
        {"token edit", [](MainWindowTest& t) { t.SetText(kIdAccessToken, L"123:other"); }, L""},
    };
    for (const auto& c : cases) {
        Open();
        SetText(kIdAccessToken, L"123456:sample-token");
        Click(kIdCheckBot);
        ASSERT_EQ(window_->ControlText(kIdBotName), L"Loading...") << c.name;
        c.between(*this);
        ASSERT_TRUE(PostRecord(window_->Window(), kBotCheckResultMessage, CheckAnswer()));
        Pump([] { return true; }, 0ms);
        EXPECT_EQ(window_->ControlText(kIdBotName), c.botName) << c.name;
        EXPECT_EQ(IsWindowEnabled(window_->Control(kIdShareBot)) != FALSE, *c.botName != L'\0')
            << c.name;
        DestroyWindow(window_->Window());
    }
}

TEST_F(MainWindowTest, EnterOnAFocusedButtonClicksIt) {
    Open();
    SetFocus(window_->Control(kIdRulesHelp));
    MSG enter{window_->Control(kIdRulesHelp), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    ASSERT_TRUE(IsDialogMessageW(window_->Window(), &enter));
    const auto asked = prompts_.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, L"Notification Rules");
}

TEST_F(MainWindowTest, TheTrayStopsNothingWhenIdleAndComesBackAfterExplorerRestarts) {
    Open();
    ShowWindow(window_->Window(), SW_HIDE);
    SendMessageW(window_->Window(), WM_COMMAND, MAKEWPARAM(kTrayStopMonitor, 0), 0);
    EXPECT_TRUE(IsWindowVisible(window_->Window()));
    EXPECT_EQ(FirstLines(prompts_), std::vector<std::wstring>{L"Monitor is not running."});

    ASSERT_EQ(trayCalls_[NIM_ADD], 1);
    SendMessageW(window_->Window(), TrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_EQ(trayCalls_[NIM_ADD], 2);
}

TEST_F(MainWindowTest, TrayExitWhileAboutIsOpenEndsTheDialogAndThenTheMessageLoop) {
    const HWND main = Open().Window();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(kIdAbout, BN_CLICKED), 0);
    WhenReady(OnWindow(kAboutDialogClass, [main](HWND) {  // the user picks "Exit" from the tray
        return PostMessageW(main, WM_COMMAND, MAKEWPARAM(kTrayExit, 0), 0) != FALSE;
    }));
    MSG msg;
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(got, 0);  // WM_QUIT reached the outer loop
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(FindWindowW(kAboutDialogClass, nullptr), nullptr);
    EXPECT_EQ(trayCalls_[NIM_DELETE], 1);
}

}  // namespace
}  // namespace wrenpost

// A person's first steps in the real program, against the fake Outlook and the fake Bot API:
// check a token, detect folders, pick one, give it a title, look at About; leave from the tray
// while About is open; and the same window at 144 DPI. (Screenshots come from the in-process
// tests: under wine one process cannot read another's pixels from the screen.)
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

#include "support/Driver_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"
#include "ui/main/AboutDialog_win.h"
#include "ui/main/MainForm.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost::testing {
namespace {

constexpr milliseconds kTimeout{30000};

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

bool WaitFor(const std::function<bool()>& done, milliseconds timeout = kTimeout) {
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout.count());
    while (!done()) {
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

void SetUserValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
                  DWORD size) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &opened,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
}

// Reads a list view cell of another process through memory placed in that process.
std::wstring ListViewCell(HWND list, DWORD processId, int row, int column) {
    UniqueHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    const SIZE_T size = sizeof(LVITEMW) + 256 * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (remote == nullptr) {
        return L"<no memory>";
    }
    LVITEMW item{};
    item.iSubItem = column;
    item.cchTextMax = 256;
    item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
    WriteProcessMemory(process.get(), remote, &item, sizeof(item), nullptr);
    const auto length = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(remote));
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ReadProcessMemory(process.get(), item.pszText, text.data(), text.size() * sizeof(wchar_t),
                      nullptr);
    VirtualFreeEx(process.get(), remote, 0, MEM_RELEASE);
    return text;
}

class MainWindowJourneyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        const std::wstring url = server_.BaseUrl();
        SetUserValue(L"Software\\Wrenpost", L"TelegramApiBaseUrl", REG_SZ, url.c_str(),
                     static_cast<DWORD>((url.size() + 1) * sizeof(wchar_t)));
        std::wstring error;
        ASSERT_TRUE(outlook_.Register(error)) << error;
        ASSERT_TRUE(outlook_.WriteScenario(
            ScenarioLine({L"store", L"id=S1", L"name=Ann"}) +
            ScenarioLine({L"folder", L"store=S1", L"path=Inbox", L"id=F1"}) +
            ScenarioLine({L"folder", L"store=S1", L"path=Inbox\\Orders", L"id=F2"})));
    }
    void TearDown() override {
        if (main_ != nullptr && IsWindow(main_)) {
            PostMessageW(main_, WM_CLOSE, 0, 0);
        }
        if (program_ && !WaitForExit(program_.get(), milliseconds(10000))) {
            TerminateProcess(program_.get(), 1);
        }
        (void)outlook_.Stop();
    }

    void Start() {
        program_ = Launch(BuildPath(L"bin/Wrenpost.exe"));
        ASSERT_TRUE(program_);
        main_ = WaitForWindow(kMainWindowClass, kMainWindowTitle, Id(), kTimeout);
        ASSERT_NE(main_, nullptr);
    }
    DWORD Id() const { return GetProcessId(program_.get()); }
    HWND Control(int id) const { return GetDlgItem(main_, id); }
    std::wstring Text(int id) const { return WindowText(Control(id)); }
    // Posted, as a click is: a message box the command opens must not block the test.
    void Click(int id) const {
        PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Control(id)));
    }
    void Type(int id, const wchar_t* text) const {
        SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    void Key(int id, WORD key) const {
        PostMessageW(Control(id), WM_KEYDOWN, key, 1);
        PostMessageW(Control(id), WM_KEYUP, key, 0xC0000001);
    }
    HWND OpenAbout() const {
        Click(kIdAbout);
        return WaitForWindow(kAboutDialogClass, nullptr, Id(), kTimeout);
    }

    FakeBotApiServer server_;
    FakeOutlook outlook_;
    UniqueHandle program_;
    HWND main_ = nullptr;
};

TEST_F(MainWindowJourneyTest, CheckTheBotPickAFolderGiveItATitleAndReadAbout) {
    Start();
    Type(kIdProfileName, L"Orders desk");
    Type(kIdAccessToken, L"123456:sample-token");
    Click(kIdCheckBot);
    ASSERT_TRUE(WaitFor([&] { return Text(kIdBotName) == L"Wren Test Bot"; }))
        << WindowText(Control(kIdBotName));
    EXPECT_EQ(Text(kIdBotUsername), L"@wren_test_bot");
    EXPECT_TRUE(IsWindowEnabled(Control(kIdShareBot)));

    Click(kIdDetectFolders);
    ASSERT_TRUE(WaitFor([&] { return Text(kIdStatusLine) == L"Status: Outlook Tree Loaded"; }))
        << Text(kIdStatusLine);
    // The store's Inbox, selected and ticked with Space.
    HWND tree = Control(kIdFolderTree);
    const auto root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, root);
    const auto inbox = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, root);
    ASSERT_NE(inbox, 0);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, inbox);
    Key(kIdFolderTree, VK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return Text(kIdFoldersCount) == L"Folders: 1"; }))
        << Text(kIdFoldersCount);

    Click(kIdTitlesNo);
    HWND list = Control(kIdFolderTitleList);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(list) != FALSE; }));
    Key(kIdFolderTitleList, VK_DOWN);  // selects the one row
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1; }));
    Type(kIdFolderTitle, L"New order");
    Click(kIdSetFolderTitle);
    ASSERT_TRUE(WaitFor([&] { return ListViewCell(list, Id(), 0, 1) == L"New order"; }))
        << ListViewCell(list, Id(), 0, 1);
    EXPECT_EQ(ListViewCell(list, Id(), 0, 0), L"\\\\Ann\\Inbox");

    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    // The dialog shows itself before its loop disables the owner.
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(main_) == FALSE; }));
    PostMessageW(FindWindowExW(about, nullptr, L"Button", L"Close"), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(main_) != FALSE; }));
}

TEST_F(MainWindowJourneyTest, TrayExitWithAboutOpenEndsTheProgramAndANewStartIsNotRefused) {
    Start();
    ASSERT_NE(OpenAbout(), nullptr);
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kTrayExit, 0), 0);
    EXPECT_EQ(WaitForExit(program_.get(), kTimeout), std::optional<DWORD>(0));
    Start();  // the single-instance mutex is free again: a window of the new process appears
}

TEST_F(MainWindowJourneyTest, At144DpiTheFormScalesAndStillFitsTheScreen) {
    const DWORD dpi = 144;
    SetUserValue(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    Start();
    Type(kIdProfileName, L"Orders desk");
    Type(kIdAccessToken, L"123456:sample-token");
    RECT start{};
    GetWindowRect(Control(kIdStartMonitor), &start);
    EXPECT_EQ(start.right - start.left, 270);  // 180 at 96 DPI
    RECT window{};
    GetWindowRect(main_, &window);
    EXPECT_LE(window.bottom - window.top, GetSystemMetrics(SM_CYSCREEN));
    const DWORD normal = 96;
    SetUserValue(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &normal, sizeof(normal));
}

}  // namespace
}  // namespace wrenpost::testing

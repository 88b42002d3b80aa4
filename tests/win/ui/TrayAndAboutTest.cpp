// The tray icon and its menu, the About dialog and the modal loop, on real Win32 under wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "support/Screenshot_win.h"
#include "ui/ModalLoop_win.h"
#include "ui/main/AboutDialog_win.h"
#include "ui/main/TrayIcon_win.h"
#include "update/UpdateManifest.h"
#include "update/UpdateService_win.h"
#include "win/ui/MainWindowFixture.h"

namespace wrenpost {
namespace {

constexpr UINT kCallback = WM_APP + 300;

HWND TopWindow(const wchar_t* title) {
    return CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 640,
                           480, nullptr, nullptr, nullptr, nullptr);
}

// ---- tray icon

TEST(TrayIcon, TellsTheShellWhatToShowAndAddsItAgainAfterExplorerRestarts) {
    // Steps: a add, x an add the shell refuses, r running, s stopping, n TaskbarCreated (re-add),
    // d remove, k destroy. Calls: A add, M modify, D delete, with the icon's state (0 stopped,
    // 1 running, 2 stopping).
    const struct {
        const char* name;
        const char* steps;
        const char* calls;
    } cases[] = {
        {"states modify the icon", "asr", "A0M2M1"},
        {"readd keeps the state", "arn", "A0M1A1"},
        {"nothing before add", "rnd", ""},
        {"removed stays removed", "adnrd", "A0D"},
        {"destruction removes", "ak", "A0D"},
        // The shell may not be ready when the program starts with Windows.
        {"a refused add is retried on TaskbarCreated", "xrn", "A0A1"},
    };
    HWND window = TopWindow(L"tray owner");
    for (const auto& c : cases) {
        std::vector<std::pair<DWORD, HICON>> calls;
        BOOL answer = TRUE;
        std::optional<TrayIcon> tray(std::in_place, [&](DWORD message, NOTIFYICONDATAW* data) {
            EXPECT_EQ(data->hWnd, window);
            EXPECT_EQ(data->uID, 1u);
            if (message == NIM_ADD) {
                EXPECT_EQ(data->uCallbackMessage, kCallback);
            }
            calls.emplace_back(message, message == NIM_DELETE ? nullptr : data->hIcon);
            return answer;
        });
        HICON icons[3] = {};  // by state
        for (const char* step = c.steps; *step != '\0'; ++step) {
            switch (*step) {
                case 'a':
                case 'x':
                    answer = *step == 'a';
                    EXPECT_EQ(tray->Add(window, kCallback, nullptr, 96), answer) << c.name;
                    answer = TRUE;
                    for (int state = 0; state < 3; ++state) {
                        icons[state] = tray->IconFor(static_cast<TrayState>(state));
                    }
                    break;
                case 'r':
                case 's':
                    tray->SetState(*step == 'r' ? TrayState::Running : TrayState::Stopping);
                    break;
                case 'n':
                    tray->Readd();
                    break;
                case 'd':
                    tray->Remove();
                    break;
                default:
                    tray.reset();
            }
        }
        std::string seen;
        for (const auto& [message, icon] : calls) {
            seen += message == NIM_ADD ? 'A' : message == NIM_MODIFY ? 'M' : 'D';
            if (message != NIM_DELETE) {
                seen += static_cast<char>('0' + (std::find(icons, icons + 3, icon) - icons));
            }
        }
        EXPECT_EQ(seen, c.calls) << c.name;
    }
    DestroyWindow(window);
}

// Straight-alpha pixels of an icon's colour bitmap, top-down, and its side length.
std::vector<RGBQUAD> IconPixels(HICON icon, int& size) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return {};
    }
    const UniqueGdiObject colour(info.hbmColor);
    const UniqueGdiObject mask(info.hbmMask);
    BITMAP bitmap{};
    GetObjectW(colour.get(), sizeof(bitmap), &bitmap);
    size = bitmap.bmWidth;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(size) * size);
    const UniqueWindowDc screen(nullptr);
    if (GetDIBits(screen.get(), static_cast<HBITMAP>(colour.get()), 0, size, pixels.data(), &format,
                  DIB_RGB_COLORS) != size) {
        return {};
    }
    return pixels;
}

TEST(TrayIcon, DrawsOpaqueDotsInTheStateColoursOnATransparentGroundScaledForTheDpi) {
    const struct {
        TrayState state;
        COLORREF colour;
    } dots[] = {
        {TrayState::Stopped, RGB(210, 50, 50)},
        {TrayState::Running, RGB(50, 190, 60)},
        {TrayState::Stopping, RGB(220, 185, 0)},
    };
    HWND window = TopWindow(L"tray owner");
    for (const UINT dpi : {96u, 144u}) {
        TrayIcon tray([](DWORD, NOTIFYICONDATAW*) { return TRUE; });
        ASSERT_TRUE(tray.Add(window, kCallback, nullptr, dpi));
        for (const auto& dot : dots) {
            int size = 0;
            const std::vector<RGBQUAD> pixels = IconPixels(tray.IconFor(dot.state), size);
            ASSERT_EQ(size, MulDiv(16, static_cast<int>(dpi), 96)) << dpi;
            ASSERT_EQ(pixels.size(), static_cast<std::size_t>(size * size));
            const RGBQUAD centre = pixels[(size / 2) * size + size / 2];
            EXPECT_EQ(RGB(centre.rgbRed, centre.rgbGreen, centre.rgbBlue), dot.colour) << dpi;
            EXPECT_EQ(centre.rgbReserved, 255) << dpi;
            EXPECT_EQ(pixels[0].rgbReserved, 0) << dpi;
            EXPECT_EQ(pixels[size * size - 1].rgbReserved, 0) << dpi;
        }
    }
    DestroyWindow(window);
}

TEST(TrayIconMenu, ReturnsTheChosenCommandOrNothingWhenDismissed) {
    const struct {
        std::vector<WPARAM> keys;
        int expected;
    } cases[] = {
        {{VK_ESCAPE}, 0},
        {{VK_DOWN, VK_RETURN}, kTrayRestore},
        {{VK_DOWN, VK_DOWN, VK_RETURN}, kTrayStopMonitor},
        {{VK_UP, VK_RETURN}, kTrayExit},
    };
    HWND window = TopWindow(L"tray owner");
    for (const auto& c : cases) {
        // Keys reach the menu's own loop once it is open; a menu that ignores them is closed
        // after a while, failing the row instead of hanging.
        WhenReady([&] {
            for (const WPARAM key : c.keys) {
                PostMessageW(window, WM_KEYDOWN, key, 0);
            }
            return true;
        });
        const UINT_PTR safety =
            SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
        EXPECT_EQ(ShowTrayMenu(window), c.expected) << c.keys.size();
        KillTimer(nullptr, safety);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    DestroyWindow(window);
}

// ---- the modal loop: the About dialog's tests below end one by keys and by a quit; every dialog
// script of the main window's tests waits for its dialog to be the innermost one

TEST(ModalLoop, ALoopLeftByAnExceptionForgetsItsDialogAndLeavesADisabledOwnerDisabled) {
    HWND owner = TopWindow(L"owner");
    HWND dialog = CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                  owner, nullptr, nullptr, nullptr);
    EnableWindow(owner, FALSE);
    EXPECT_THROW(RunModalLoop(owner, dialog, []() -> bool { throw 1; }), int);
    EXPECT_EQ(ActiveModalDialog(), nullptr);
    EXPECT_FALSE(IsWindowEnabled(owner));
    DestroyWindow(dialog);
    DestroyWindow(owner);
}

// ---- About dialog

std::wstring ExpectedVersionLine() {
    const std::optional<Version> version = ReadProgramVersion();
    return L"Version " + (version ? VersionText(*version) : Utf8ToWide(WRENPOST_VERSION_TEXT));
}

POINT Centre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override { owner_ = TopWindow(L"About owner"); }
    void TearDown() override {
        DestroyWindow(owner_);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // Opens the dialog, runs `whileOpen` on it from inside its loop, and returns how it ended.
    ModalEnd Run(const std::function<void(HWND)>& whileOpen,
                 const std::function<void(HWND)>& checkForUpdates) {
        WhenReady(OnWindow(kAboutDialogClass, [whileOpen](HWND dialog) {
            whileOpen(dialog);
            return true;
        }));
        // A dialog that ignores what the row does is destroyed later: a failure, not a hang.
        const UINT_PTR safety = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
            DestroyWindow(FindWindowW(kAboutDialogClass, nullptr));
        });
        const ModalEnd end = RunAboutDialog(owner_, checkForUpdates);
        KillTimer(nullptr, safety);
        ExpectEveryStepRan();
        EXPECT_EQ(FindWindowW(kAboutDialogClass, nullptr), nullptr);
        EXPECT_TRUE(IsWindowEnabled(owner_));
        return end;
    }

    HWND owner_ = nullptr;
};

// Every way it ends, each time opened over its owner's centre and showing the program's version.
// Closing by the button and by the owner going away are crossed by the main window's tests.
TEST_F(AboutTest, ShowsTheVersionCentredAndEndsEveryWayAUserOrTheProgramClosesIt) {
    const struct {
        std::vector<WPARAM> keys;  // none: the program quits
        bool withCallback;
        ModalEnd expected;
        int checks;
    } cases[] = {
        {{VK_ESCAPE}, false, ModalEnd::Done, 0},
        {{VK_RETURN}, true, ModalEnd::Done, 0},  // Close is the default button
        {{VK_TAB, VK_RETURN, VK_ESCAPE}, true, ModalEnd::Done, 1},
        {{}, true, ModalEnd::Quit, 0},
    };
    for (const auto& c : cases) {
        const auto row = &c - cases;
        std::vector<HWND> checkedFrom;
        HWND opened = nullptr;
        const auto end = Run(
            [&](HWND dialog) {
                opened = dialog;
                const HWND version =
                    FindWindowExW(dialog, nullptr, L"Static", ExpectedVersionLine().c_str());
                EXPECT_NE(version, nullptr) << row;
                EXPECT_LE(std::abs(Centre(dialog).x - Centre(owner_).x), 1) << row;
                EXPECT_LE(std::abs(Centre(dialog).y - Centre(owner_).y), 1) << row;
                EXPECT_TRUE(testing::SaveScreenshot(dialog, L"about"));
                HWND check = GetDlgItem(dialog, kAboutCheckForUpdatesId);
                EXPECT_EQ(IsWindowEnabled(check) != FALSE, c.withCallback) << row;
                for (const WPARAM key : c.keys) {
                    PostMessageW(GetFocus(), WM_KEYDOWN, key, 0);
                }
                if (c.keys.empty()) {
                    PostQuitMessage(7);
                }
            },
            c.withCallback
                ? std::function<void(HWND)>([&](HWND about) { checkedFrom.push_back(about); })
                : std::function<void(HWND)>());
        EXPECT_EQ(end, c.expected) << row;
        EXPECT_EQ(checkedFrom, std::vector<HWND>(c.checks, opened)) << row;
        MSG msg{};
        const bool quitReposted = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
        EXPECT_EQ(quitReposted, c.keys.empty()) << row;
        if (quitReposted) {
            EXPECT_EQ(msg.wParam, 7u);
        }
    }
}

}  // namespace
}  // namespace wrenpost

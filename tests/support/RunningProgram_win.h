// Wrenpost.exe as the end-to-end tests and the tour drive it: started, its main window found, its
// controls read and clicked the way a person would, its boxes answered, and ended.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/Driver_win.h"
#include "ui/main/MainWindow_win.h"

namespace wrenpost::testing {

inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

inline bool SetUserValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data,
                         DWORD size) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, data, size) == ERROR_SUCCESS;
}

class RunningProgram {
public:
    // Starts the program and waits for its main window to show (to exist, for a start into the
    // tray).
    // False when the program did not start or no window came.
    [[nodiscard]] bool Start(const std::wstring& arguments = L"", bool intoTheTray = false,
                             const std::filesystem::path& exe = BuildPath(L"bin/Wrenpost.exe")) {
        process_ = Launch(exe, arguments);
        return process_ && WaitFor([&] {
                   const auto found = FindWindows(kMainWindowClass, nullptr, Id(), intoTheTray);
                   main_ = found.empty() ? nullptr : found.front();
                   return main_ != nullptr;
               });
    }
    // Closes the window (the tray's Exit while monitoring) and waits for the process to end.
    // Tray "Exit"; a form the test changed is dropped ("No" to the unsaved-changes question).
    void End() {
        if (main_ != nullptr && IsWindow(main_)) {
            PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kTrayExit, 0), 0);
            WaitFor(
                [&] {
                    for (HWND asked : FindWindows(L"#32770", L"Unsaved Changes", Id())) {
                        PostMessageW(asked, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
                    }
                    return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
                },
                milliseconds(10000));
        }
        if (process_ && !WaitForExit(process_.get(), milliseconds(10000))) {
            TerminateProcess(process_.get(), 1);
        }
        process_.reset();
    }

    HWND Main() const { return main_; }
    HANDLE Process() const { return process_.get(); }
    DWORD Id() const { return GetProcessId(process_.get()); }
    HWND Control(int id) const { return GetDlgItem(main_, id); }
    std::wstring Text(int id) const { return WindowText(Control(id)); }
    // Posted, as a click is: a box the command opens must not block the test.
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
    // Ticks the first folder below the first store of the folder tree with Space, as a person
    // would, and waits until the window counts it.
    bool TickFirstFolder() const {
        HWND tree = Control(kIdFolderTree);
        const auto store = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, store);
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                     SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, store));
        Key(kIdFolderTree, VK_SPACE);
        return WaitForText(kIdFoldersCount, L"Folders: 1");
    }
    bool WaitForText(int id, const std::wstring& text) const {
        return WaitFor([&] { return Text(id) == text; });
    }
    // Presses OK in a dialog of the program (a message box, the folder picker) with that title
    // (nullptr: any); false when none appeared.
    bool PressOk(const wchar_t* title) const {
        HWND dialog = WaitForWindow(L"#32770", title, Id(), kE2eTimeout);
        if (dialog == nullptr) {
            return false;
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        return WaitFor([&] { return !IsWindow(dialog); });
    }

private:
    UniqueHandle process_;
    HWND main_ = nullptr;
};

}  // namespace wrenpost::testing

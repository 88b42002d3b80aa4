#include "playground/KeyboardHands_win.h"

#include <commctrl.h>

#include <vector>

#include "support/Accessibility_win.h"

namespace wrenpost::testing {
namespace {

constexpr milliseconds kKeyTakesEffect{5000};
// More than the main window has tab stops, so one round always passes every control.
constexpr int kMostTabs = 80;

INPUT KeyInput(WORD key, bool up, DWORD flags = 0) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.dwFlags = flags | (up ? KEYEVENTF_KEYUP : 0);
    if ((flags & KEYEVENTF_UNICODE) != 0) {
        input.ki.wScan = key;
    } else {
        input.ki.wVk = key;
    }
    return input;
}

void Send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// One key, optionally with a modifier held down around it.
void Tap(WORD key, WORD modifier = 0) {
    std::vector<INPUT> inputs;
    if (modifier != 0) {
        inputs.push_back(KeyInput(modifier, false));
    }
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (modifier != 0) {
        inputs.push_back(KeyInput(modifier, true));
    }
    Send(inputs);
}

void TypeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        inputs.push_back(KeyInput(c, false, KEYEVENTF_UNICODE));
        inputs.push_back(KeyInput(c, true, KEYEVENTF_UNICODE));
    }
    Send(inputs);
}

}  // namespace

HWND KeyboardHands::Focused() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(p_.Main(), nullptr), &info) ? info.hwndFocus
                                                                                 : nullptr;
}

bool KeyboardHands::WaitUntilActive(HWND top) const {
    // The foreground changes before the window has taken the focus, and a key sent in between
    // is lost.
    return WaitFor([&] { return GetForegroundWindow() == top && IsChild(top, Focused()); });
}

bool KeyboardHands::TabTo(HWND control) const {
    for (int i = 0; i < kMostTabs; ++i) {
        const HWND before = Focused();
        if (before == control) {
            return true;
        }
        Tap(VK_TAB);
        WaitFor([&] { return Focused() != before; }, kKeyTakesEffect);
    }
    return false;
}

bool KeyboardHands::Fill(int id, const std::wstring& text) {
    if (!WaitUntilActive(p_.Main()) || !TabTo(p_.Control(id))) {
        return false;
    }
    // Select what the field holds, so typing replaces it.
    Tap(VK_HOME);
    Tap(VK_END, VK_SHIFT);
    TypeText(text);
    return p_.WaitForText(id, text);
}

bool KeyboardHands::Press(int id) {
    if (!WaitUntilActive(p_.Main())) {
        return false;
    }
    HWND button = p_.Control(id);
    if (const wchar_t letter = MnemonicOf(WindowText(button)); letter != 0) {
        Tap(static_cast<WORD>(VkKeyScanW(letter) & 0xFF), VK_MENU);
        return true;
    }
    if (!TabTo(button)) {
        return false;
    }
    Tap(VK_RETURN);
    return true;
}

bool KeyboardHands::TickFirstFolder() {
    HWND tree = p_.Control(kIdFolderTree);
    if (!WaitUntilActive(p_.Main()) || !TabTo(tree)) {
        return false;
    }
    Tap(VK_HOME);
    const auto store = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    if (!WaitFor([&] { return SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == store; },
                 kKeyTakesEffect)) {
        return false;
    }
    if ((SendMessageW(tree, TVM_GETITEMSTATE, store, TVIS_EXPANDED) & TVIS_EXPANDED) == 0) {
        Tap(VK_RIGHT);
    }
    Tap(VK_DOWN);
    Tap(VK_SPACE);
    return p_.WaitForText(kIdFoldersCount, L"Folders: 1");
}

bool KeyboardHands::Confirm(const wchar_t* title) {
    HWND box = WaitForWindow(L"#32770", title, p_.Id(), kE2eTimeout);
    if (box == nullptr || !WaitUntilActive(box)) {
        return false;
    }
    Tap(VK_RETURN);
    return WaitFor([&] { return !IsWindow(box); });
}

}  // namespace wrenpost::testing

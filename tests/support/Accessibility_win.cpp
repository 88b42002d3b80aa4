#include "support/Accessibility_win.h"

// The headers below need windows.h first.
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cwctype>
#include <map>

namespace wrenpost::testing {
namespace {

// liboleacc.a and libuuid.a both define it, and with a static link the wrong one made
// AccessibleObjectFromWindow answer E_NOINTERFACE.
constexpr IID kAccessibleId = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::wstring ClassOf(HWND control) {
    wchar_t name[64] = {};
    GetClassNameW(control, name, 64);
    return name;
}

std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), text.size())));
    return text;
}

bool IsStatic(HWND control) {
    const std::wstring name = ClassOf(control);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    return _wcsicmp(name.c_str(), L"Static") == 0 ||
           (_wcsicmp(name.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX);
}

bool Meaningful(const std::wstring& name) {
    return std::any_of(name.begin(), name.end(), [](wchar_t c) { return IsCharAlphaNumericW(c); });
}

// A list view, tree view or combo box is named by the visible, non-empty static created just before
// it.
std::wstring LabelBefore(HWND control) {
    const HWND label = GetWindow(control, GW_HWNDPREV);
    return label != nullptr && IsWindowVisible(label) && IsStatic(label) ? TextOf(label) : L"";
}

}  // namespace

wchar_t MnemonicOf(const std::wstring& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&') {
            if (text[i + 1] != L'&') {
                return static_cast<wchar_t>(std::towupper(text[i + 1]));
            }
            ++i;
        }
    }
    return 0;
}

std::wstring AccessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), kAccessibleId,
                                          reinterpret_cast<void**>(&accessible)))) {
        return L"";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result;
    if (accessible->get_accName(self, &name) == S_OK && name != nullptr) {
        result.assign(name, SysStringLen(name));
    }
    SysFreeString(name);
    accessible->Release();
    return result;
}

AccessibilityFindings CheckAccessibility(HWND window) {
    AccessibilityFindings findings;
    std::map<wchar_t, int> mnemonics;
    for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control)) {
            continue;
        }
        const std::wstring className = ClassOf(control);
        const bool stat = IsStatic(control);
        const bool needsStatic = className == WC_LISTVIEWW || className == WC_TREEVIEWW ||
                                 _wcsicmp(className.c_str(), WC_COMBOBOXW) == 0;
        const bool noPrefix = _wcsicmp(className.c_str(), L"Static") == 0 &&
                              (GetWindowLongPtrW(control, GWL_STYLE) & SS_NOPREFIX) != 0;
        if (const wchar_t letter = noPrefix ? 0 : MnemonicOf(TextOf(control));
            letter != 0 && ++mnemonics[letter] == 2) {
            findings.repeatedMnemonics += letter;
        }
        if (stat) {
            continue;
        }
        const std::wstring name = needsStatic ? LabelBefore(control) : AccessibleName(control);
        // A radio button after its group's first is reached with the arrow keys, not Tab.
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        const LONG_PTR type = style & BS_TYPEMASK;
        const bool laterRadio = _wcsicmp(className.c_str(), L"Button") == 0 &&
                                (type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON) &&
                                (style & WS_GROUP) == 0;
        const bool tabStop = (style & WS_TABSTOP) != 0 || laterRadio;
        if (!Meaningful(name) || !tabStop) {
            findings.faults.push_back(L"id " + std::to_wstring(GetDlgCtrlID(control)) + L" " +
                                      className + L": \"" + name + L"\"" +
                                      (tabStop ? L"" : L" without a tab stop"));
        }
    }
    return findings;
}

}  // namespace wrenpost::testing

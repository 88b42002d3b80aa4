// What a screen reader finds in a window, read through MSAA the way one reads it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wrenpost::testing {

// The name MSAA gives `control` (its client object); empty when it answers none.
std::wstring AccessibleName(HWND control);

// The letter a control's text marks with "&" ("&&" is a plain "&"), upper-cased; 0 when none.
wchar_t MnemonicOf(const std::wstring& text);

struct AccessibilityFindings {
    std::vector<std::wstring> faults;  // "id <n> <class>: \"<name>\"" per control
    std::wstring repeatedMnemonics;    // each letter once
};

// Checks the visible controls directly inside `window`. Every interactive control needs a tab
// stop (Tab then follows the creation order) and a name
// with a letter or digit in it (a lone "?", "+" or arrow says nothing); list views, tree views
// and combo boxes, which wine's MSAA cannot name, need a visible label created just before them.
// Statics and group boxes are read as text, not visited as stops, so only their mnemonics count.
AccessibilityFindings CheckAccessibility(HWND window);

}  // namespace wrenpost::testing

// The two small dialogs of rule packages: what to export, and how to import a package.
#pragma once

#include <windows.h>

#include <string>

#include "rules/RulePackage.h"

namespace wrenpost {

// The import window's "Merge with Existing Rules" choice, for tests that press it by id.
inline constexpr int kImportMergeId = 9745;

inline constexpr wchar_t kRuleExportScopeClass[] = L"WrenpostRuleExportScopeDialog";
inline constexpr wchar_t kRuleImportClass[] = L"WrenpostRuleImportDialog";

// True on "Export"; `allRules` tells whether the whole profile was chosen over the selected rule.
bool ShowExportScopeDialog(HWND owner, const std::wstring& selectedRuleName, bool& allRules);

// True on "Import", with the chosen mode.
bool ShowImportDialog(HWND owner, const RulePackage& package, ImportMode& mode);

}  // namespace wrenpost

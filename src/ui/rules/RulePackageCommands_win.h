// The rules window's "Export" and "Import": file dialogs, package dialogs, messages and logs.
#pragma once

#include <windows.h>

#include <vector>

#include "common/ActivityLog.h"
#include "profile/ProfileConfig.h"
#include "rules/RulePackage.h"
#include "ui/FileDialog_win.h"

namespace wrenpost {

// `selected` is the selected row, or -1.
void ExportRules(HWND dialog, const std::vector<NotificationRule>& rules, int selected,
                 const FileDialogFunction& pickFile, const LogFunction& log);

// True when `rules` took the package in; `package` then holds it, without the chat ids that are
// not among `recipients` (the import says which rules lost some).
bool ImportRules(HWND dialog, std::vector<NotificationRule>& rules,
                 const std::vector<RecipientEntry>& recipients, const FileDialogFunction& pickFile,
                 const LogFunction& log, RulePackage& package);

}  // namespace wrenpost

// The "Notification Rules" window: a profile's rule list with its master switch. Every change is
// saved at once, so there is nothing to cancel.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "common/ActivityLog.h"
#include "profile/ProfileConfig.h"
#include "rules/RuleModel.h"
#include "ui/FileDialog_win.h"

namespace wrenpost {

inline constexpr wchar_t kRulesDialogClass[] = L"WrenpostNotificationRulesDialog";
enum RulesDialogId : int {
    kRulesMasterId = 9751,
    kRulesAddId = 9754,
    kRulesEditId,
    kRulesDeleteId,
    kRulesUpId,
    kRulesDownId,
    kRulesImportId,
    kRulesExportId,
};

struct RulesDialogRequest {
    RulesFile* rules = nullptr;       // the owner's; replaced by every save
    std::filesystem::path rulesPath;  // empty: the rules live only in `rules`
    std::vector<SelectedFolder> folders;
    std::vector<RecipientEntry> recipients;  // the profile's: routing offers and keeps these
    LogFunction log;
    FileDialogFunction pickFile;  // empty: the system's dialogs
    std::function<void()> saved;  // after each save, `rules` already replaced
};

void ShowNotificationRulesDialog(HWND owner, RulesDialogRequest request);

}  // namespace wrenpost

// "Export Rules" (the scope) and "Import Rules" (the package and the import mode).
#include "ui/rules/RulePackageDialogs_win.h"

#include "ui/rules/RuleDialog_win.h"

namespace wrenpost {
namespace {

constexpr int kSelectedId = 9741;
constexpr int kAllId = 9742;
constexpr int kPreviewId = 9743;
constexpr int kNewId = 9744;
constexpr int kMergeId = kImportMergeId;
constexpr int kReplaceId = 9746;

class ExportScopeDialog : public RuleDialog<ExportScopeDialog> {
public:
    ExportScopeDialog(HWND owner, const std::wstring& ruleName, bool& allRules)
        : RuleDialog(owner),
          selectedText_(L"Selected Rule Only - \"" +
                        (ruleName.empty() ? std::wstring(L"(unnamed rule)") : ruleName) + L"\""),
          allRules_(allRules) {}

    bool OnCreate() {
        const DialogControl controls[] = {
            {-1, L"STATIC", L"Export as:", kRuleLabel, 16, 14, 380, 20},
            {kSelectedId, L"BUTTON", selectedText_.c_str(), kRuleRadio | WS_GROUP, 16, 40, 380, 22},
            {kAllId, L"BUTTON", L"All Rules in This Profile", kRuleRadio, 16, 66, 380, 22},
            {IDOK, L"BUTTON", L"Export", kRuleDefaultButton | WS_GROUP, 206, 106, 90, 30},
            {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 306, 106, 90, 30},
        };
        if (!MakeControls(controls)) {
            return false;
        }
        Check(kSelectedId, true);
        return true;
    }

    void OnCommand(int id, int) {
        if (id == IDOK) {
            allRules_ = Checked(kAllId);
            Close(true);
        }
    }

private:
    std::wstring selectedText_;
    bool& allRules_;
};

constexpr DialogControl kImportControls[] = {
    {-1, L"STATIC", L"Rule Package:", kRuleLabel, 12, 10, 440, 20},
    {kPreviewId, L"EDIT", L"",
     ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 12, 32, 440,
     160},
    {-1, L"STATIC", L"Import as:", kRuleLabel, 12, 202, 440, 20},
    {kNewId, L"BUTTON", L"New Rules - append as brand-new entries", kRuleRadio | WS_GROUP, 12, 224,
     440, 22},
    {kMergeId, L"BUTTON",
     L"Merge with Existing Rules - append, updating any rule with a matching name", kRuleRadio, 12,
     248, 440, 22},
    {kReplaceId, L"BUTTON", L"Replace Existing Rules - discard current rules first", kRuleRadio, 12,
     272, 440, 22},
    {IDOK, L"BUTTON", L"Import", kRuleDefaultButton | WS_GROUP, 262, 318, 90, 30},
    {IDCANCEL, L"BUTTON", L"Cancel", kRuleButton, 362, 318, 90, 30},
};

class ImportDialog : public RuleDialog<ImportDialog> {
public:
    ImportDialog(HWND owner, const RulePackage& package, ImportMode& mode)
        : RuleDialog(owner), package_(package), mode_(mode) {}

    bool OnCreate() {
        if (!MakeControls(kImportControls)) {
            return false;
        }
        SetText(kPreviewId, DescribeRulePackage(package_));
        Check(kNewId, true);
        return true;
    }

    void OnCommand(int id, int) {
        if (id == IDOK) {
            mode_ = Checked(kMergeId)     ? ImportMode::Merge
                    : Checked(kReplaceId) ? ImportMode::Replace
                                          : ImportMode::NewRules;
            Close(true);
        }
    }

private:
    const RulePackage& package_;
    ImportMode& mode_;
};

}  // namespace

bool ShowExportScopeDialog(HWND owner, const std::wstring& selectedRuleName, bool& allRules) {
    ExportScopeDialog dialog(owner, selectedRuleName, allRules);
    return dialog.Run(kRuleExportScopeClass, L"Export Rules", 412, 148);
}

bool ShowImportDialog(HWND owner, const RulePackage& package, ImportMode& mode) {
    ImportDialog dialog(owner, package, mode);
    // 480 by 400 outside; this is the client area inside the frame.
    return dialog.Run(kRuleImportClass, L"Import Rules", 464, 361);
}

}  // namespace wrenpost

// Export and import of rule packages from the rules window.
#include "ui/rules/RulePackageCommands_win.h"

#include "common/Clock.h"
#include "rules/RuleRouting.h"
#include "ui/rules/RuleDialog_win.h"
#include "ui/rules/RulePackageDialogs_win.h"

namespace wrenpost {
namespace {

bool PickFile(HWND dialog, const FileDialogFunction& pickFile, const FileDialogRequest& request,
              std::filesystem::path& picked) {
    return pickFile ? pickFile(dialog, request, picked)
                    : ShowSystemFileDialog(dialog, request, picked);
}

}  // namespace

void ExportRules(HWND dialog, const std::vector<NotificationRule>& rules, int selected,
                 const FileDialogFunction& pickFile, const LogFunction& log) {
    constexpr const wchar_t* kCaption = L"Export Rules";
    if (rules.empty()) {
        AskRules(dialog, L"There are no rules to export.", PromptIcon::Information,
                 PromptButtons::Ok, kCaption);
        return;
    }
    bool allRules = true;
    const bool hasSelection = selected >= 0 && selected < static_cast<int>(rules.size());
    if (hasSelection &&
        !ShowExportScopeDialog(dialog, rules[static_cast<std::size_t>(selected)].Name, allRules)) {
        return;
    }
    const std::wstring today = PackageDate(SystemClock());
    const RulePackage package =
        allRules ? BuildAllRulesPackage(rules, today)
                 : BuildSingleRulePackage(rules[static_cast<std::size_t>(selected)], today);
    const std::wstring extension = allRules ? L"wprules" : L"wprule";
    FileDialogRequest request;
    request.save = true;
    request.title = kCaption;
    request.filters = {{L"Rule Package (*." + extension + L")", L"*." + extension},
                       {L"All Files (*.*)", L"*.*"}};
    request.defaultExtension = extension;
    request.fileName = ProposedPackageFileName(package.Name);
    std::filesystem::path path;
    if (!PickFile(dialog, pickFile, request, path)) {
        return;
    }
    if (WriteRulePackage(path, package)) {
        log(LogLevel::Info, L"Rules exported: " + PathText(path));
        std::wstring done = L"Rules exported successfully.";
        if (CarriesChatIds(package.Rules)) {
            done += kPackageCarriesChatIds;
        }
        AskRules(dialog, done, PromptIcon::Information, PromptButtons::Ok, kCaption);
    } else {
        log(LogLevel::Error, L"Failed to export rules: " + PathText(path));
        AskRules(dialog, L"Failed to export rules.", PromptIcon::Error, PromptButtons::Ok,
                 kCaption);
    }
}

bool ImportRules(HWND dialog, std::vector<NotificationRule>& rules,
                 const std::vector<RecipientEntry>& recipients, const FileDialogFunction& pickFile,
                 const LogFunction& log, RulePackage& package) {
    constexpr const wchar_t* kCaption = L"Import Rules";
    FileDialogRequest request;
    request.title = kCaption;
    request.filters = {{L"Rule Package (*.wprule;*.wprules)", L"*.wprule;*.wprules"},
                       {L"All Files (*.*)", L"*.*"}};
    std::filesystem::path path;
    if (!PickFile(dialog, pickFile, request, path)) {
        return false;
    }
    if (ReadRulePackage(path, package) != RuleLoadResult::Loaded) {
        log(LogLevel::Error, L"Invalid Rule Package: " + PathText(path));
        AskRules(dialog, L"Invalid Rule Package.", PromptIcon::Error, PromptButtons::Ok, kCaption);
        return false;
    }
    if (package.Rules.empty()) {
        AskRules(dialog, L"This Rule Package does not contain any rules.", PromptIcon::Warning,
                 PromptButtons::Ok, kCaption);
        return false;
    }
    ImportMode mode = ImportMode::NewRules;
    if (!ShowImportDialog(dialog, package, mode)) {
        return false;
    }
    std::vector<std::wstring> known;
    for (const RecipientEntry& recipient : recipients) {
        known.push_back(recipient.ChatId);
    }
    const std::vector<std::wstring> rerouted = KeepKnownRecipients(package.Rules, known);
    const std::wstring withoutFolder =
        RulesWithoutFolderText(ImportPackageRules(rules, package, mode));
    if (!rerouted.empty()) {
        const std::wstring report = ReroutedOnImportText(rerouted);
        log(LogLevel::Warning, report);
        AskRules(dialog, report, PromptIcon::Warning, PromptButtons::Ok, kCaption);
    }
    if (!withoutFolder.empty()) {
        log(LogLevel::Warning, withoutFolder);
        AskRules(dialog, withoutFolder, PromptIcon::Information, PromptButtons::Ok, kCaption);
    }
    return true;
}

}  // namespace wrenpost

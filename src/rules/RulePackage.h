// Rule packages (*.wprule, *.wprules): the package file, the export package and its proposed
// file name, and the import of a package into a profile's rule list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Clock.h"
#include "rules/RuleModel.h"
#include "rules/RulesFile.h"

namespace wrenpost {

struct RulePackage {
    std::int32_t PackageVersion = 1;
    std::wstring Name{};
    std::wstring Author{};
    std::wstring Description{};
    std::wstring CreatedDate{};  // local "%Y-%m-%d"
    std::vector<NotificationRule> Rules{};

    bool operator==(const RulePackage&) const = default;
};

// The package text with "\n" line ends: the rule blocks of Rules.json without FolderPath and
// without CaseSensitive.
std::wstring FormatRulePackage(const RulePackage& package);

// Reads a whole package text; only with Loaded is `package` replaced. Imported rules carry no
// folder and only case-insensitive conditions; the older one-condition layout is not read.
RuleLoadResult ParseRulePackageText(std::wstring_view text, RulePackage& package);

// Creates missing folders, then replaces the file in one step.
[[nodiscard]] bool WriteRulePackage(const std::filesystem::path& path, const RulePackage& package,
                                    std::wstring* error = nullptr);
// The outcomes of LoadRulesFile.
RuleLoadResult ReadRulePackage(const std::filesystem::path& path, RulePackage& package);

// ---- export

inline constexpr std::wstring_view kPackageAuthor = L"Wrenpost";
inline constexpr std::wstring_view kAllRulesPackageName = L"MyRules";

// Every rule of the list, in list order: "MyRules", "Exported rules".
RulePackage BuildAllRulesPackage(const std::vector<NotificationRule>& rules,
                                 std::wstring createdDate);
// One rule: named after it, "Exported rule: " + its name.
RulePackage BuildSingleRulePackage(const NotificationRule& rule, std::wstring createdDate);

// Today's local date as "%Y-%m-%d".
std::wstring PackageDate(const Clock& clock);

// The package name with each of \ / : * ? " < > | replaced by '_', cut to at most 259 UTF-16
// code units (never inside a surrogate pair). The save dialog adds the extension.
std::wstring ProposedPackageFileName(std::wstring_view packageName);

// Added to the export's success message when a rule of the package routes to chat ids.
inline constexpr std::wstring_view kPackageCarriesChatIds =
    L"\n\nThe package carries the Telegram chat ids its \"Send To Recipients\" actions name. "
    L"Share it only with people who may know them; an import keeps only the chat ids of the "
    L"importing profile's recipients.";

// ---- import

enum class ImportMode : std::int32_t { NewRules = 0, Merge = 1, Replace = 2 };

// The import dialog's description of a package (each line ending in CR LF).
std::wstring DescribeRulePackage(const RulePackage& package);

// The number of an Id of the form "R" followed by decimal digits (further text allowed), or -1.
// Numbers above 10^18 do not count, so new numbers never overflow.
std::int64_t RuleIdNumber(std::wstring_view id);

// "R" + (largest Id number of the list, or 0) + 1: the Id of a rule added in the dialog.
std::wstring NextRuleId(const std::vector<NotificationRule>& rules);

// Applies a package to the dialog's rule list: the package rules get new Ids R<M+1>, R<M+2> ...
// (M the largest Id number of the current rules - not counted in Replace - and of the package),
// then are appended (NewRules), merged by exact Name keeping the replaced rule's Id, Order and
// folder (Merge), or appended to an emptied list (Replace). Packages carry no folder, so every
// other imported rule has none. Order is not renumbered here; the dialog renumbers when it
// redraws the list (RenumberRuleOrder). Returns how many imported rules have no folder.
std::size_t ImportPackageRules(std::vector<NotificationRule>& rules, const RulePackage& package,
                               ImportMode mode);

// What an import says of the imported rules that have no folder (never applied until one is
// chosen); empty when every one has a folder.
std::wstring RulesWithoutFolderText(std::size_t count);

// Sets every rule's Order to its 1-based position.
void RenumberRuleOrder(std::vector<NotificationRule>& rules);

// The import's report of the rules whose routing lost chat ids unknown to the profile (names as
// KeepKnownRecipients returns them).
std::wstring ReroutedOnImportText(const std::vector<std::wstring>& ruleNames);

// "Rules imported: " + count + " rule(s) from package \"" + name + "\"."
std::wstring RulesImportedLogText(const RulePackage& package);

}  // namespace wrenpost

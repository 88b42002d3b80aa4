// Package file writer and reader, export building and the import operation.
#include "rules/RulePackage.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "common/JsonText.h"
#include "common/LocalTime.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "rules/RuleBlocks.h"
#include "rules/RuleJsonReaders.h"

namespace wrenpost {
namespace {

constexpr std::int64_t kLargestCountedIdNumber = 1000000000000000000LL;

bool IsHighSurrogate(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    return u >= 0xD800 && u <= 0xDBFF;
}

// Multi-line edits need CR LF; a lone LF inside a value would not start a new line.
void AppendLine(std::wstring& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        if (c == L'\n' && (out.empty() || out.back() != L'\r')) {
            out.push_back(L'\r');
        }
        out.push_back(c);
    }
    out.append(L"\r\n");
}

}  // namespace

std::wstring FormatRulePackage(const RulePackage& package) {
    std::wstring out;
    out.reserve(256 + package.Rules.size() * 512);
    out.append(L"{\n    \"PackageVersion\": ");
    out.append(ToWideDecimal(package.PackageVersion));
    out.append(L",\n");
    AppendStringMember(out, 4, L"Name", package.Name);
    out.append(L",\n");
    AppendStringMember(out, 4, L"Author", package.Author);
    out.append(L",\n");
    AppendStringMember(out, 4, L"Description", package.Description);
    out.append(L",\n");
    AppendStringMember(out, 4, L"CreatedDate", package.CreatedDate);
    out.append(L",\n");
    AppendRulesMember(out, package.Rules, RuleBlockKind::Package);
    out.append(L"}\n");
    return out;
}

RuleLoadResult ParseRulePackageText(std::wstring_view text, RulePackage& package) {
    if (IsBlankFileText(text)) {
        return RuleLoadResult::Missing;
    }
    if (text.find(L"\"PackageVersion\"") == std::wstring_view::npos ||
        text.find(L"\"Rules\"") == std::wstring_view::npos || !HasBalancedBrackets(text)) {
        return RuleLoadResult::Corrupt;
    }
    RulePackage read;
    std::int32_t version = 0;
    switch (ReadSignedIntField(text, L"PackageVersion", version)) {
        case IntFieldRead::Read:
            read.PackageVersion = version;
            break;
        case IntFieldRead::Absent:
            read.PackageVersion = 1;
            break;
        case IntFieldRead::OutOfRange:
            return RuleLoadResult::Corrupt;
    }
    read.Name = ReadJsonStringField(text, L"Name");
    read.Author = ReadJsonStringField(text, L"Author");
    read.Description = ReadJsonStringField(text, L"Description");
    read.CreatedDate = ReadJsonStringField(text, L"CreatedDate");
    if (!ReadRulesMember(text, RuleBlockKind::Package, read.Rules)) {
        return RuleLoadResult::Corrupt;
    }
    package = std::move(read);
    return RuleLoadResult::Loaded;
}

bool WriteRulePackage(const std::filesystem::path& path, const RulePackage& package,
                      std::wstring* error) {
    return WriteRulesText(path, FormatRulePackage(package), L"package file", error);
}

RuleLoadResult ReadRulePackage(const std::filesystem::path& path, RulePackage& package) {
    std::wstring text;
    if (const RuleLoadResult read = ReadRulesText(path, text); read != RuleLoadResult::Loaded) {
        return read;
    }
    try {
        return ParseRulePackageText(text, package);
    } catch (const std::exception&) {
        return RuleLoadResult::Corrupt;
    }
}

RulePackage BuildAllRulesPackage(const std::vector<NotificationRule>& rules,
                                 std::wstring createdDate) {
    RulePackage package;
    package.Name = kAllRulesPackageName;
    package.Author = kPackageAuthor;
    package.Description = L"Exported rules";
    package.CreatedDate = std::move(createdDate);
    package.Rules = rules;
    return package;
}

RulePackage BuildSingleRulePackage(const NotificationRule& rule, std::wstring createdDate) {
    RulePackage package;
    package.Name = rule.Name;
    package.Author = kPackageAuthor;
    package.Description = L"Exported rule: " + rule.Name;
    package.CreatedDate = std::move(createdDate);
    package.Rules = {rule};
    return package;
}

std::wstring PackageDate(const Clock& clock) {
    const std::time_t now = std::chrono::system_clock::to_time_t(clock.Now());
    std::tm local{};
    if (!ToLocalCalendar(now, local)) {
        return std::wstring();
    }
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return text;
}

std::wstring ProposedPackageFileName(std::wstring_view packageName) {
    constexpr std::size_t kMaxUnits = 259;
    constexpr std::wstring_view kReserved = L"\\/:*?\"<>|";
    std::wstring name;
    std::size_t units = 0;
    for (const wchar_t c : packageName) {
        const std::size_t width = Utf16Length(std::wstring_view(&c, 1));
        if (units + width > kMaxUnits) {
            break;
        }
        name.push_back(kReserved.find(c) == std::wstring_view::npos ? c : L'_');
        units += width;
    }
    if (units == kMaxUnits && !name.empty() && IsHighSurrogate(name.back()) &&
        packageName.size() > name.size()) {
        name.pop_back();  // the pair's second half did not fit
    }
    return name;
}

std::wstring DescribeRulePackage(const RulePackage& package) {
    const auto orElse = [](const std::wstring& value, std::wstring_view fallback) {
        return value.empty() ? std::wstring(fallback) : value;
    };
    std::wstring out;
    AppendLine(out, L"Name: " + orElse(package.Name, L"(untitled)"));
    AppendLine(out, L"Author: " + orElse(package.Author, L"(unknown)"));
    AppendLine(out, L"Created: " + orElse(package.CreatedDate, L"(unknown)"));
    AppendLine(out,
               L"Rules in package: " + ToWideDecimal(static_cast<long long>(package.Rules.size())));
    AppendLine(out, L"");
    AppendLine(out, L"Description:");
    AppendLine(out, orElse(package.Description, L"(none)"));
    return out;
}

std::int64_t RuleIdNumber(std::wstring_view id) {
    if (id.size() < 2 || id[0] != L'R' || id[1] < L'0' || id[1] > L'9') {
        return -1;
    }
    std::int64_t number = 0;
    for (std::size_t i = 1; i < id.size() && id[i] >= L'0' && id[i] <= L'9'; ++i) {
        if (number > kLargestCountedIdNumber / 10) {
            return -1;
        }
        number = number * 10 + (id[i] - L'0');
        if (number > kLargestCountedIdNumber) {
            return -1;
        }
    }
    return number;
}

namespace {

std::int64_t LargestIdNumber(const std::vector<NotificationRule>& rules, std::int64_t largest) {
    for (const NotificationRule& rule : rules) {
        largest = std::max(largest, RuleIdNumber(rule.Id));
    }
    return largest;
}

}  // namespace

std::wstring NextRuleId(const std::vector<NotificationRule>& rules) {
    return L"R" + ToWideDecimal(LargestIdNumber(rules, 0) + 1);
}

std::size_t ImportPackageRules(std::vector<NotificationRule>& rules, const RulePackage& package,
                               ImportMode mode) {
    std::size_t withoutFolder = 0;
    if (mode == ImportMode::Replace) {
        rules.clear();
    }
    std::int64_t next = LargestIdNumber(package.Rules, LargestIdNumber(rules, 0)) + 1;
    for (const NotificationRule& incoming : package.Rules) {
        NotificationRule rule = incoming;
        rule.Id = L"R" + ToWideDecimal(next++);
        rule.FolderPath.clear();  // packages carry no folder binding
        for (RuleCondition& condition : rule.Conditions) {
            condition.CaseSensitive = false;
        }
        if (mode == ImportMode::Merge) {
            const auto same =
                std::find_if(rules.begin(), rules.end(),
                             [&](const NotificationRule& r) { return r.Name == rule.Name; });
            if (same != rules.end()) {
                rule.Id = same->Id;
                rule.Order = same->Order;
                // Dropping it would silently stop a rule that applied until now.
                rule.FolderPath = same->FolderPath;
                withoutFolder += rule.FolderPath.empty() ? 1 : 0;
                *same = std::move(rule);
                continue;
            }
        }
        ++withoutFolder;
        rules.push_back(std::move(rule));
    }
    return withoutFolder;
}

std::wstring RulesWithoutFolderText(std::size_t count) {
    if (count == 0) {
        return std::wstring();
    }
    return ToWideDecimal(static_cast<long long>(count)) +
           (count == 1 ? L" imported rule has no folder and will not apply until you choose one."
                       : L" imported rules have no folder and will not apply until you choose "
                         L"one.");
}

void RenumberRuleOrder(std::vector<NotificationRule>& rules) {
    std::int32_t order = 0;
    for (NotificationRule& rule : rules) {
        rule.Order = ++order;
    }
}

std::wstring RulesImportedLogText(const RulePackage& package) {
    return L"Rules imported: " + ToWideDecimal(static_cast<long long>(package.Rules.size())) +
           L" rule(s) from package \"" + package.Name + L"\".";
}

std::wstring ReroutedOnImportText(const std::vector<std::wstring>& ruleNames) {
    std::wstring names;
    for (const std::wstring& name : ruleNames) {
        names.append(names.empty() ? L"\"" : L", \"");
        names.append(name);
        names.push_back(L'"');
    }
    return L"Chat ids unknown to this profile were removed from the routing of " +
           ToWideDecimal(static_cast<long long>(ruleNames.size())) + L" imported rule(s): " +
           names +
           L".\n\nOnly this profile's recipients can be routed to. A \"Send To Recipients\" "
           L"action left naming nobody was removed; check these rules' actions.";
}

}  // namespace wrenpost

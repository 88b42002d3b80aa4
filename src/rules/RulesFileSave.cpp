// Rules-file replacement that keeps unreadable and corrupt files from being lost.
#include "rules/RulesFileSave.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "common/LocalTime.h"
#include "common/TextFile.h"
#include "rules/RulesFile.h"

namespace wrenpost {
namespace {

std::wstring TwoDigits(int value) {
    return std::wstring(1, static_cast<wchar_t>(L'0' + value / 10 % 10)) +
           static_cast<wchar_t>(L'0' + value % 10);
}

// "20250307-140509" for the stamp of a dated backup.
bool IsStamp(std::wstring_view text) {
    if (text.size() != 15 || text[8] != L'-') {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 8 && (text[i] < L'0' || text[i] > L'9')) {
            return false;
        }
    }
    return true;
}

void PruneDatedBackups(const std::filesystem::path& rulesPath, const LogFunction& log) {
    const std::wstring prefix = rulesPath.stem().wstring() + L".";
    const std::wstring suffix = L".bak";
    std::vector<std::filesystem::path> backups;
    std::error_code error;
    for (std::filesystem::directory_iterator it(rulesPath.parent_path(), error), end;
         !error && it != end; it.increment(error)) {
        const std::wstring name = it->path().filename().wstring();
        if (name.size() == prefix.size() + 15 + suffix.size() && name.starts_with(prefix) &&
            name.ends_with(suffix) && IsStamp(std::wstring_view(name).substr(prefix.size(), 15))) {
            backups.push_back(it->path());
        }
    }
    if (backups.size() <= kKeptRulesBackups) {
        return;
    }
    // The stamp sorts as it dates, so the oldest come first.
    std::sort(backups.begin(), backups.end());
    for (std::size_t i = 0; i + kKeptRulesBackups < backups.size(); ++i) {
        if (!std::filesystem::remove(backups[i], error) && log) {
            log(LogLevel::Warning, L"Could not remove the old rules backup " + PathText(backups[i]));
        }
    }
}

}  // namespace

std::filesystem::path DatedRulesBackupPath(const std::filesystem::path& rulesPath,
                                           std::time_t now) {
    std::tm local{};
    if (!ToLocalCalendar(now, local)) {
        ToUtcCalendar(now, local);
    }
    const std::wstring stamp = std::to_wstring(local.tm_year + 1900) + TwoDigits(local.tm_mon + 1) +
                               TwoDigits(local.tm_mday) + L"-" + TwoDigits(local.tm_hour) +
                               TwoDigits(local.tm_min) + TwoDigits(local.tm_sec);
    return rulesPath.parent_path() / (rulesPath.stem().wstring() + L"." + stamp + L".bak");
}

bool BackUpCorruptRulesFile(const std::filesystem::path& rulesPath, std::time_t now,
                            const LogFunction& log) {
    const std::filesystem::path backup = DatedRulesBackupPath(rulesPath, now);
    bool copied = false;
    try {
        std::string bytes;
        copied = ReadFileBytes(rulesPath, bytes) && WriteFileAtomically(backup, bytes);
    } catch (const std::exception&) {
        copied = false;
    }
    if (!copied) {
        if (log) {
            log(LogLevel::Error, L"Failed to back up the rules file: " + PathText(rulesPath));
        }
        return false;
    }
    if (log) {
        log(LogLevel::Info, L"The corrupt Notification Rules file was kept as " + PathText(backup) +
                                L" before it was replaced.");
    }
    PruneDatedBackups(rulesPath, log);
    return true;
}

RulesSaveResult SaveRulesOverFile(const std::filesystem::path& rulesPath, const RulesFile& rules,
                                  std::time_t now, const LogFunction& log, std::wstring* error) {
    RulesFile ignored;
    switch (LoadRulesFile(rulesPath, ignored)) {
        case RuleLoadResult::Unreadable:
            return RulesSaveResult::Unreadable;
        case RuleLoadResult::Corrupt:
            if (!BackUpCorruptRulesFile(rulesPath, now, log)) {
                if (error) {
                    *error = L"The corrupt rules file could not be backed up first.";
                }
                return RulesSaveResult::BackupFailed;
            }
            break;
        case RuleLoadResult::Loaded:
        case RuleLoadResult::Missing:
            break;
    }
    return SaveRulesFile(rulesPath, rules, error) ? RulesSaveResult::Saved
                                                  : RulesSaveResult::WriteFailed;
}

std::wstring RulesUnreadableMessage(const std::filesystem::path& rulesPath) {
    return L"The rules file " + PathText(rulesPath) +
           L" could not be read (it may be in use). Your rule changes were not saved; they are "
           L"kept in this window for the next try.";
}

}  // namespace wrenpost

// Replacing a profile's rules file without losing what it holds: an unreadable file is left alone,
// a corrupt one is first copied to a dated backup.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

#include "common/ActivityLog.h"
#include "rules/RuleModel.h"

namespace wrenpost {

// How many dated backups of one rules file are kept; older ones are removed with each new one.
inline constexpr std::size_t kKeptRulesBackups = 10;

// "<dir>/<name>Rules.<yyyyMMdd-HHmmss>.bak" for "<dir>/<name>Rules.json", in local time.
std::filesystem::path DatedRulesBackupPath(const std::filesystem::path& rulesPath, std::time_t now);

// Copies the file to its dated backup and removes all but the newest kKeptRulesBackups of them.
// False (logged) when the copy could not be made.
[[nodiscard]] bool BackUpCorruptRulesFile(const std::filesystem::path& rulesPath, std::time_t now,
                                          const LogFunction& log);

enum class RulesSaveResult { Saved, Unreadable, BackupFailed, WriteFailed };

// Writes `rules` over the file unless what is there cannot be read: then nothing is written (the
// user's rules may be in it). A corrupt file is backed up first and kept when that fails.
RulesSaveResult SaveRulesOverFile(const std::filesystem::path& rulesPath, const RulesFile& rules,
                                  std::time_t now, const LogFunction& log,
                                  std::wstring* error = nullptr);

// The message shown when SaveRulesOverFile says Unreadable.
std::wstring RulesUnreadableMessage(const std::filesystem::path& rulesPath);

}  // namespace wrenpost

// A profile's Rules.json: the exact text that is written and the tolerant reader that turns it
// back into a RulesFile, plus the recovery of a corrupt file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/ActivityLog.h"
#include "rules/RuleModel.h"

namespace wrenpost {

// What reading a rules file (or a package) found. Missing: no file there, or only blank text.
// Unreadable: something is there but could not be read (locked by another program, access denied,
// a folder, an I/O error). Corrupt: read, but not rules.
enum class RuleLoadResult : std::int32_t { Loaded = 0, Missing = 1, Corrupt = 2, Unreadable = 3 };

// The file text with "\n" line ends (the file itself has CR LF).
std::wstring FormatRulesFile(const RulesFile& file);

// Reads a whole file text. Only with Loaded is `file` replaced; otherwise it is left as passed.
RuleLoadResult ParseRulesFileText(std::wstring_view text, RulesFile& file);

// Creates missing folders, then replaces the file in one step: a failed save leaves the old file
// whole. One byte per character with CR LF, or UTF-8 with a byte-order mark when a text holds a
// character above U+00FF.
[[nodiscard]] bool SaveRulesFile(const std::filesystem::path& path, const RulesFile& file,
                                 std::wstring* error = nullptr);

// Only with Loaded is `file` replaced. Missing also for a file of only spaces, tabs, CRs and LFs.
// With Unreadable, `reason` (when given) gets the system's short text for why, e.g. the sharing
// violation of a file another program holds open; a read that throws gives "unexpected error".
RuleLoadResult LoadRulesFile(const std::filesystem::path& path, RulesFile& file,
                             std::wstring* reason = nullptr);

// ---- recovery of a corrupt file (the rules dialog's step when LoadRulesFile says Corrupt)

inline constexpr std::wstring_view kRulesDialogCaption = L"Notification Rules";
inline constexpr std::wstring_view kRulesCorruptQuestion =
    L"The rules file is corrupted.\n\nDo you want to recreate it?";

// Copies the corrupt file to its dated backup (RulesFileSave.h), then writes a default RulesFile over it and logs
// "Rules recreated: " + path. The corrupt file is never overwritten without its copy: when the
// copy fails nothing is written, the failure is logged and false returned.
[[nodiscard]] bool RecreateCorruptRulesFile(const std::filesystem::path& rulesPath,
                                            const LogFunction& log);

enum class CorruptRulesChoice { Recreated, RecreateFailed, Declined };

// The whole step: logs "Rules parse error: " + path, asks the question through ShowPrompt
// (owner = the asking window), and on Yes recreates the file. The caller works with the default
// RulesFile in every case.
CorruptRulesChoice HandleCorruptRulesFile(const std::filesystem::path& rulesPath,
                                          std::uintptr_t owner, const LogFunction& log);

// The path as shown in log lines.
std::wstring PathText(const std::filesystem::path& path);

// The file side shared by the rules file and rule packages: create missing folders, then an
// atomic write; and a read that gives Loaded (the text), Missing or Unreadable (with `reason`,
// as LoadRulesFile).
[[nodiscard]] bool WriteRulesText(const std::filesystem::path& path, const std::wstring& text,
                                  const wchar_t* whatFile, std::wstring* error);
RuleLoadResult ReadRulesText(const std::filesystem::path& path, std::wstring& text,
                             std::wstring* reason = nullptr);

}  // namespace wrenpost

// How a profile's last monitor session went, kept beside its outbox: the time of its last
// completed cycle and how it ended. A session resumed at sign-in reads it to catch up on the mail
// that arrived while the PC was off.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace wrenpost {

enum class SessionEnd {
    Running,  // still running, or the process ended without a word (a crash)
    User,     // STOP, tray Stop Monitor or Exit
    Windows,  // log-off, shutdown, or an installer closing the program
};

struct SessionRecord {
    std::int64_t LastCycleUtc = 0;  // ticks since 1970; 0 before the first completed cycle
    SessionEnd Ended = SessionEnd::Running;
};

std::filesystem::path SessionRecordPath(const std::filesystem::path& outboxFolder);

std::wstring FormatSessionRecord(const SessionRecord& record);
std::optional<SessionRecord> ParseSessionRecord(std::wstring_view text);

std::optional<SessionRecord> ReadSessionRecord(const std::filesystem::path& outboxFolder);
bool WriteSessionRecord(const std::filesystem::path& outboxFolder, const SessionRecord& record);

// The cut-off of a session resumed at sign-in: the previous session's last completed cycle, when
// that session ended with Windows or unexpectedly and less than `window` ago; nothing otherwise.
std::optional<std::int64_t> ResumeCutoff(const std::optional<SessionRecord>& previous,
                                         std::int64_t nowUtc, std::int64_t windowTicks);

}  // namespace wrenpost

// <ProfileName>Monitor.json: the status report a monitor session keeps current for people and
// tools. Nothing in the program reads it back.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "outlook/MailSnapshot.h"

namespace wrenpost {

struct MonitorStatusReport {
    std::wstring ProfileName;
    std::wstring Status;
    std::wstring LastCheck;
    std::int32_t MessagesSent = 0;
    std::int32_t QueueCount = 0;
    std::int32_t OutboxCount = 0;  // notifications waiting to be sent
    const std::deque<MailSnapshot>* SeenMessages = nullptr;  // oldest first; null = none
};

// The file text with "\n" line ends (the file encoding adds CR).
std::wstring FormatMonitorStatus(const MonitorStatusReport& report);

// The file's text with its Status changed to `status` and everything else as it was (a later
// start marks a crashed session this way); nullopt when the text has no Status of this layout.
std::optional<std::wstring> ReplaceMonitorStatus(std::wstring_view text, std::wstring_view status);

// Creates the folder when needed and replaces the file in one step; failures are swallowed, so
// a reader sees the previous file or the whole new one. Returns whether the file was written.
bool WriteMonitorStatusFile(const std::filesystem::path& path, const MonitorStatusReport& report);

}  // namespace wrenpost

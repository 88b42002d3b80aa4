// The marker the crash handler leaves beside a dump (LastCrash.txt in the dump folder): which
// profile was being monitored and which dump belongs to it. The next start reads it, marks that
// profile's status file "Crashed" and tells the user.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

inline constexpr wchar_t kCrashMarkerName[] = L"LastCrash.txt";
inline constexpr std::size_t kCrashDumpsKept = 5;

struct CrashMarker {
    std::wstring ProfileName;  // empty: nothing was being monitored
    std::wstring StatusFile;   // that profile's <ProfileName>Monitor.json
    std::wstring DumpFile;     // the dump's file name, in the marker's folder
};

// Everything of the marker but its last line, as UTF-8 behind a byte-order mark (a profile name
// may need it). Made ahead of a crash: the handler only appends "Dump=<name>\r\n".
std::string FormatCrashMarkerHead(std::wstring_view profileName, std::wstring_view statusFile);
inline constexpr char kCrashMarkerDumpKey[] = "Dump=";

// Tolerant: unknown lines are ignored, missing ones stay empty.
CrashMarker ParseCrashMarker(std::wstring_view text);

// Of the dumps in a folder (names "Wrenpost-<local time>-<process>.dmp", so they sort by age),
// those beyond the newest `keep`, oldest first. Other names are never chosen.
std::vector<std::wstring> CrashDumpsToRemove(std::vector<std::wstring> names, std::size_t keep);

}  // namespace wrenpost

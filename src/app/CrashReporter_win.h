// Crash reports: an unhandled exception on any thread, std::terminate or abort writes a
// MiniDumpNormal dump to %LOCALAPPDATA%\Wrenpost\CrashDumps and the marker naming the profile
// being monitored (app/CrashMarker.h), then ends the process. Nothing else is written then.
// Everything the report needs is made ready at installation (dbghelp loaded, the folder, the
// program's path, the marker's text): the crashing thread starts this program again to write the
// dump from outside, waits for it, then writes the marker.
#pragma once

#include <filesystem>
#include <string_view>

namespace wrenpost {

std::filesystem::path CrashDumpFolder();

// Once, first thing at start. False when no report can be written (no dump folder, no
// dbghelp); the program runs on without.
bool InstallCrashReporter();

// The profile a crash report will name, while it is being monitored; empty strings: none.
// Called from the window's thread.
void SetCrashReportProfile(std::wstring_view profileName, const std::filesystem::path& statusFile);

// The second start a crashing instance makes: writes the dump of that process into the dump
// folder. 0 when written.
struct CrashDumpRequest;
int WriteCrashDumpFor(const CrashDumpRequest& request);

// Tests reach each crash route through the DWORD CrashForTesting under HKCU\Software\Wrenpost,
// read once by InstallCrashReporter.
enum class CrashTestPoint { None = 0, WindowThread = 1, MonitorWorker = 2, Abort = 3 };
// Crashes when `point` is the one the registry named; called where monitoring has started
// (WindowThread, Abort) and in the monitor worker's cycle (MonitorWorker).
void CrashHereForTesting(CrashTestPoint point);

}  // namespace wrenpost

// The command-line switches the program reads: a start from the token vault, and a start by
// Windows at log-on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

inline constexpr std::wstring_view kVaultLaunchSwitch = L"--new-instance-from-vault";
inline constexpr std::wstring_view kStartupSwitch = L"--startup";

// The hand-off identifier after the switch (searched anywhere, white space skipped, then the run
// of non-white-space characters); empty when this is an ordinary start.
std::wstring ParseVaultLaunchId(std::wstring_view commandLine);

// Whether one of the white-space separated arguments is exactly the start-up switch.
bool HasStartupSwitch(std::wstring_view commandLine);

// A crashing instance starts the program again to write its dump from outside (a process dumping
// itself can stall): "--write-crash-dump <pid> <thread id> <EXCEPTION_POINTERS address, hex>
// <dump file name>". The name is a bare "Wrenpost-….dmp": the dump goes only into the dump folder.
inline constexpr std::wstring_view kWriteCrashDumpSwitch = L"--write-crash-dump";
struct CrashDumpRequest {
    unsigned long processId = 0;
    unsigned long threadId = 0;
    unsigned long long exceptionPointers = 0;
    std::wstring dumpName;
};
// Only a command line that is exactly the switch and its four well-formed arguments.
bool ParseCrashDumpRequest(std::wstring_view commandLine, CrashDumpRequest& request);

}  // namespace wrenpost

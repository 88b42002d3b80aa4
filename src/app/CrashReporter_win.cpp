#include "app/CrashReporter_win.h"

#include <windows.h>
// The headers below need windows.h first.
#include <dbghelp.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/AppPaths_win.h"
#include "app/CommandLine.h"
#include "app/CrashMarker.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

using WriteDumpFunction = decltype(&MiniDumpWriteDump);

// What abort and std::terminate report as their exception: abort's usual status, and our own
// code for an exception nobody caught.
constexpr DWORD kAbortCode = 0x40000015;      // STATUS_FATAL_APP_EXIT
constexpr DWORD kTerminateCode = 0xE0575054;  // "\xE0WPT"
constexpr std::size_t kMarkerHeadCapacity = 8192;

// Lives as long as the process: a crash may come at any time, static destruction included.
struct CrashState {
    WriteDumpFunction writeDump = nullptr;
    std::wstring folder;  // ends in a backslash
    wchar_t program[MAX_PATH * 2] = {};  // this program, which writes the dump from outside
    UniqueHandle done;  // set once the first crash's report is written
    CrashTestPoint testPoint = CrashTestPoint::None;
    std::atomic<bool> crashing{false};
    // Two copies of the marker head: the window thread fills the one not in use, then flips.
    char markerHead[2][kMarkerHeadCapacity] = {};
    DWORD markerHeadSize[2] = {};
    std::atomic<int> currentHead{0};
};

CrashState& State() {
    static CrashState state;
    return state;
}

// From the system folder only, never one a stranger could put a dbghelp.dll into. Kept loaded
// for good: a report may be needed until the last instruction.
WriteDumpFunction LoadDumpWriter() {
    const HMODULE dbghelp = LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Through void(*)(): the one cast between function types that GCC accepts as deliberate.
    return dbghelp == nullptr ? nullptr
                              : reinterpret_cast<WriteDumpFunction>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(dbghelp, "MiniDumpWriteDump")));
}

HANDLE CreateInFolder(const wchar_t* name) {
    wchar_t path[MAX_PATH * 2];
    if (lstrlenW(State().folder.c_str()) + lstrlenW(name) >= MAX_PATH * 2) {
        return INVALID_HANDLE_VALUE;
    }
    lstrcpyW(path, State().folder.c_str());
    lstrcatW(path, name);
    return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

void WriteBytes(HANDLE file, const char* bytes, DWORD size) {
    DWORD written = 0;
    (void)WriteFile(file, bytes, size, &written, nullptr);
}

// The dump written from outside by a second start of this program: under wine a process that
// dumps itself stalls in some runs. Only when that start cannot be made does the crashing
// thread write the dump itself.
bool WriteDumpFromOutside(const wchar_t* name, EXCEPTION_POINTERS* pointers) {
    CrashState& state = State();
    if (state.program[0] == L'\0') {
        return false;
    }
    static wchar_t command[MAX_PATH * 3];
    wsprintfW(command, L"\"%s\" %s %lu %lu %I64x %s", state.program, kWriteCrashDumpSwitch.data(),
              GetCurrentProcessId(), GetCurrentThreadId(),
              static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(pointers)), name);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(state.program, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    DWORD code = 1;
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &code)) {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    return code == 0;
}

bool WriteDumpHere(const wchar_t* name, EXCEPTION_POINTERS* pointers) {
    const UniqueFileHandle dump(CreateInFolder(name));
    MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), pointers, FALSE};
    return dump && State().writeDump(GetCurrentProcess(), GetCurrentProcessId(), dump.get(),
                                     MiniDumpNormal, &exception, nullptr, nullptr);
}

// The dump of this thread's crash, then the marker naming it.
void WriteReport(EXCEPTION_POINTERS* pointers) {
    CrashState& state = State();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t name[64];
    wsprintfW(name, L"Wrenpost-%04u%02u%02u-%02u%02u%02u-%03u-%lu.dmp", now.wYear, now.wMonth,
              now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
              GetCurrentProcessId());
    if (!WriteDumpFromOutside(name, pointers) && !WriteDumpHere(name, pointers)) {
        return;
    }
    const UniqueFileHandle marker(CreateInFolder(kCrashMarkerName));
    if (!marker) {
        return;
    }
    const int head = state.currentHead.load();
    WriteBytes(marker.get(), state.markerHead[head], state.markerHeadSize[head]);
    char line[96];
    const int size = wsprintfA(line, "%s%ls\r\n", kCrashMarkerDumpKey, name);
    WriteBytes(marker.get(), line, static_cast<DWORD>(size));
}

// Writes the report on the crashing thread and ends the process. A second crash meanwhile
// (another thread, or this one again) only waits for the first report. (A dump written by a
// separate waiting thread never finished under wine: its dbghelp suspends every other thread.)
[[noreturn]] void ReportAndEnd(EXCEPTION_POINTERS* pointers, DWORD exitCode) {
    CrashState& state = State();
    if (!state.crashing.exchange(true)) {
        WriteReport(pointers);
        SetEvent(state.done.get());
    }
    WaitForSingleObject(state.done.get(), 300000);  // the first report may take two tries
    TerminateProcess(GetCurrentProcess(), exitCode);
    for (;;) {
        Sleep(INFINITE);
    }
}

// abort and std::terminate have no exception of their own: one raised here gives the dump this
// thread's state at the call and takes the same way as a fault. (A context captured by hand made
// wine's MiniDumpWriteDump stall.)
[[noreturn]] void ReportHere(DWORD code) {
    RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) {
        Sleep(INFINITE);
    }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    ReportAndEnd(pointers, pointers->ExceptionRecord->ExceptionCode);
}

void OnAbortSignal(int) { ReportHere(kAbortCode); }

void OnTerminate() { ReportHere(kTerminateCode); }

CrashTestPoint ReadCrashTestPoint() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Wrenpost", L"CrashForTesting", RRF_RT_DWORD,
                     nullptr, &value, &size) != ERROR_SUCCESS ||
        value > static_cast<DWORD>(CrashTestPoint::Abort)) {
        return CrashTestPoint::None;
    }
    return static_cast<CrashTestPoint>(value);
}

bool PrepareWriter(CrashState& state) {
    state.writeDump = LoadDumpWriter();
    state.done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const DWORD length = GetModuleFileNameW(nullptr, state.program, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2) {
        state.program[0] = L'\0';
    }
    // Room for the report on this thread even after a stack overflow.
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    return state.writeDump != nullptr && state.done;
}

}  // namespace

std::filesystem::path CrashDumpFolder() {
    const std::filesystem::path data = AppDataFolder();
    return data.empty() ? data : data / L"CrashDumps";
}

bool InstallCrashReporter() {
    CrashState& state = State();
    state.testPoint = ReadCrashTestPoint();
    SetCrashReportProfile(L"", {});
    const std::filesystem::path folder = CrashDumpFolder();
    std::error_code error;
    if (folder.empty() || (std::filesystem::create_directories(folder, error), error) ||
        !PrepareWriter(state)) {
        return false;
    }
    state.folder = folder.wstring() + L"\\";
    // abort must not stop at its "abnormal program termination" box before the signal.
    _set_error_mode(_OUT_TO_STDERR);
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    std::signal(SIGABRT, OnAbortSignal);
    return true;
}

void SetCrashReportProfile(std::wstring_view profileName, const std::filesystem::path& statusFile) {
    CrashState& state = State();
    const std::string head = FormatCrashMarkerHead(profileName, statusFile.wstring());
    const int next = 1 - state.currentHead.load();
    const std::size_t size = std::min(head.size(), kMarkerHeadCapacity);
    head.copy(state.markerHead[next], size);
    state.markerHeadSize[next] = static_cast<DWORD>(size);
    state.currentHead.store(next);
}

int WriteCrashDumpFor(const CrashDumpRequest& request) {
    const std::filesystem::path folder = CrashDumpFolder();
    const WriteDumpFunction writeDump = LoadDumpWriter();
    const UniqueHandle crashed(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ |
                                               PROCESS_DUP_HANDLE,
                                           FALSE, request.processId));
    if (folder.empty() || writeDump == nullptr || !crashed) {
        return 1;
    }
    const std::filesystem::path path = folder / request.dumpName;
    UniqueFileHandle dump(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!dump) {
        return 1;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception{
        request.threadId,
        reinterpret_cast<EXCEPTION_POINTERS*>(static_cast<ULONG_PTR>(request.exceptionPointers)),
        TRUE};
    if (!writeDump(crashed.get(), request.processId, dump.get(), MiniDumpNormal, &exception,
                   nullptr, nullptr)) {
        dump.reset();
        DeleteFileW(path.c_str());  // the crashing process writes it itself instead
        return 1;
    }
    return 0;
}

void CrashHereForTesting(CrashTestPoint point) {
    if (point == CrashTestPoint::None || point != State().testPoint) {
        return;
    }
    if (point == CrashTestPoint::Abort) {
        std::abort();
    }
    // An access violation, as a real fault would be.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace wrenpost

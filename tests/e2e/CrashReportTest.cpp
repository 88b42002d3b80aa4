// Crash reports from the real program: each crash route, reached through CrashForTesting while a
// saved profile is monitored, leaves a minidump with its stream directory and a marker naming the
// profile; the next start marks that profile "Crashed" and asks whether to open the folder (a
// start at log-on only once the window is shown). The fault's address is left for
// tests/e2e/resolve-crash-address, which finds its function in Wrenpost.debug.
#include <windows.h>
// The headers below need windows.h first.
#include <dbghelp.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "MonitoredWorld.h"
#include "app/AppStateStore_win.h"
#include "app/CrashMarker.h"
#include "app/CrashReporter_win.h"
#include "common/JsonText.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "support/RunningProgram_win.h"

namespace wrenpost::testing {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kSettingsKey[] = L"Software\\Wrenpost";
const fs::path kProfileFolder = L"C:\\WrenpostE2E\\Crashy";

struct Dump {
    std::string bytes;
    template <typename T>
    const T* At(RVA rva) const {
        return rva + sizeof(T) <= bytes.size() ? reinterpret_cast<const T*>(&bytes[rva]) : nullptr;
    }
    const MINIDUMP_DIRECTORY* Stream(ULONG32 type) const {
        const auto* header = At<MINIDUMP_HEADER>(0);
        for (ULONG32 i = 0; header != nullptr && i < header->NumberOfStreams; ++i) {
            const auto* entry =
                At<MINIDUMP_DIRECTORY>(header->StreamDirectoryRva + i * sizeof(MINIDUMP_DIRECTORY));
            if (entry != nullptr && entry->StreamType == type) {
                return entry;
            }
        }
        return nullptr;
    }
    // The faulting address as an offset into Wrenpost.exe; 0 when it lies elsewhere.
    ULONG64 FaultOffsetInProgram() const {
        const auto* exception =
            At<MINIDUMP_EXCEPTION_STREAM>(Stream(ExceptionStream)->Location.Rva);
        const auto* modules = At<MINIDUMP_MODULE_LIST>(Stream(ModuleListStream)->Location.Rva);
        const ULONG64 address = exception->ExceptionRecord.ExceptionAddress;
        for (ULONG32 i = 0; i < modules->NumberOfModules; ++i) {
            const MINIDUMP_MODULE& module = modules->Modules[i];
            const auto* name = At<MINIDUMP_STRING>(module.ModuleNameRva);
            const std::wstring text(name->Buffer, name->Length / sizeof(wchar_t));
            if (address - module.BaseOfImage < module.SizeOfImage &&
                text.ends_with(L"Wrenpost.exe")) {
                return address - module.BaseOfImage;
            }
        }
        return 0;
    }
};

struct Route {
    CrashTestPoint point;
    bool restartAtLogon;
};

class CrashReportTest : public ::testing::TestWithParam<Route>, protected MonitoredWorld {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartWorld());
        std::error_code ignored;
        fs::remove_all(CrashDumpFolder(), ignored);
        ASSERT_EQ(SaveProfile(L"Crashy", L"111:crash-token", L"4242"), kProfileFolder);
        ASSERT_TRUE(SetLastProfileFolder(kProfileFolder.wstring()));
    }
    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"CrashForTesting");
        program_.End();
        EndWorld();
        std::error_code ignored;
        fs::remove_all(CrashDumpFolder(), ignored);
    }
    std::wstring Status() const {
        std::wstring text;
        return ReadTextFile(kProfileFolder / L"CrashyMonitor.json", text)
                   ? ReadJsonStringField(text, L"Status")
                   : L"";
    }
    // The box of the next start: its text (the static's id differs between Windows and wine),
    // answered No.
    std::wstring AnswerNotice() const {
        const HWND box = WaitForWindow(L"#32770", L"Wrenpost", program_.Id(), kE2eTimeout);
        std::wstring text;
        EnumChildWindows(
            box,
            [](HWND child, LPARAM longest) {
                std::wstring& found = *reinterpret_cast<std::wstring*>(longest);
                const std::wstring mine = WindowText(child);
                found = mine.size() > found.size() ? mine : found;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
        return text;
    }

    RunningProgram program_;
};

TEST_P(CrashReportTest, TheCrashLeavesADumpAndTheNextStartSaysSo) {
    const DWORD point = static_cast<DWORD>(GetParam().point);
    ASSERT_TRUE(SetUserValue(kSettingsKey, L"CrashForTesting", REG_DWORD, &point, sizeof(point)));
    // At log-on the saved profile is monitored at once, which reaches every crash point.
    ASSERT_TRUE(program_.Start(L"--startup", true));
    // Longer than the crashing process waits for its dump to be written (120 s).
    const auto code = WaitForExit(program_.Process(), milliseconds(180000));
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(*code, 0u);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"CrashForTesting");

    std::wstring markerText;
    ASSERT_TRUE(ReadTextFile(CrashDumpFolder() / kCrashMarkerName, markerText));
    const CrashMarker marker = ParseCrashMarker(markerText);
    EXPECT_EQ(marker.ProfileName, L"Crashy");
    EXPECT_EQ(fs::path(marker.StatusFile), kProfileFolder / L"CrashyMonitor.json");
    Dump dump;
    ASSERT_TRUE(ReadFileBytes(CrashDumpFolder() / marker.DumpFile, dump.bytes));
    ASSERT_NE(dump.At<MINIDUMP_HEADER>(0), nullptr);
    EXPECT_EQ(std::memcmp(dump.bytes.data(), "MDMP", 4), 0);
    for (ULONG32 stream : {ThreadListStream, ModuleListStream, ExceptionStream, SystemInfoStream}) {
        EXPECT_NE(dump.Stream(stream), nullptr) << "stream " << stream;
    }
    if (GetParam().point == CrashTestPoint::WindowThread && !GetParam().restartAtLogon) {
        std::ofstream(BuildPath(L"crash-report-fault.txt"))
            << std::hex << dump.FaultOffsetInProgram();
    }

    program_.End();
    ASSERT_TRUE(program_.Start(GetParam().restartAtLogon ? L"--startup" : L"", true));
    if (GetParam().restartAtLogon) {
        ASSERT_TRUE(program_.WaitForText(kIdStatusLine, L"Status: Running"))
            << WideToUtf8(program_.Text(kIdLogView));
        EXPECT_TRUE(FindWindows(L"#32770", L"Wrenpost", program_.Id()).empty());
        ShowWindow(program_.Main(), SW_SHOW);
    }
    EXPECT_EQ(AnswerNotice(),
              L"Wrenpost stopped unexpectedly last time. A crash report was saved; it may contain "
              L"your bot token and the subjects of recent mail, so share it only with people you "
              L"trust. Open the folder?");
    if (!GetParam().restartAtLogon) {
        EXPECT_EQ(Status(), L"Crashed");
    }
    EXPECT_FALSE(fs::exists(CrashDumpFolder() / kCrashMarkerName));
}

INSTANTIATE_TEST_SUITE_P(Routes, CrashReportTest,
                         ::testing::Values(Route{CrashTestPoint::WindowThread, false},
                                           Route{CrashTestPoint::MonitorWorker, false},
                                           Route{CrashTestPoint::Abort, false},
                                           Route{CrashTestPoint::Abort, true}));

}  // namespace
}  // namespace wrenpost::testing

#include "app/CrashNotice_win.h"

#include <shellapi.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/CrashReporter_win.h"
#include "common/Prompt.h"
#include "common/TextFile.h"
#include "monitor/MonitorStatusFile.h"

namespace wrenpost {
namespace {

constexpr wchar_t kCrashedStatus[] = L"Crashed";

// The status file keeps everything the crashed session wrote but its status; one that is gone
// or not of our layout is written anew.
void MarkCrashed(const CrashMarker& crash) {
    if (crash.StatusFile.empty()) {
        return;
    }
    std::wstring text;
    std::optional<std::wstring> marked;
    if (ReadTextFile(crash.StatusFile, text)) {
        marked = ReplaceMonitorStatus(text, kCrashedStatus);
    }
    if (marked) {
        (void)WriteTextFileAtomically(crash.StatusFile, *marked);
    } else {
        MonitorStatusReport report;
        report.ProfileName = crash.ProfileName;
        report.Status = kCrashedStatus;
        (void)WriteMonitorStatusFile(crash.StatusFile, report);
    }
}

void RemoveOldDumps(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().wstring());
    }
    for (const std::wstring& name : CrashDumpsToRemove(std::move(names), kCrashDumpsKept)) {
        std::filesystem::remove(folder / name, error);
    }
}

}  // namespace

std::optional<CrashMarker> TakeLastCrash() {
    const std::filesystem::path folder = CrashDumpFolder();
    std::wstring text;
    if (folder.empty() || !ReadTextFile(folder / kCrashMarkerName, text)) {
        return std::nullopt;
    }
    std::error_code error;
    if (!std::filesystem::remove(folder / kCrashMarkerName, error)) {
        // A marker that cannot go would bring the question back at every start.
        return std::nullopt;
    }
    const CrashMarker crash = ParseCrashMarker(text);
    MarkCrashed(crash);
    RemoveOldDumps(folder);
    return crash;
}

void OfferCrashFolder(HWND owner) {
    PromptRequest question;
    question.owner = reinterpret_cast<std::uintptr_t>(owner);
    question.caption = L"Wrenpost";
    question.text =
        L"Wrenpost stopped unexpectedly last time. A crash report was saved; it may contain your "
        L"bot token and the subjects of recent mail, so share it only with people you trust. "
        L"Open the folder?";
    question.icon = PromptIcon::Warning;
    question.buttons = PromptButtons::YesNo;
    if (ShowPrompt(question) == PromptAnswer::Yes) {
        ShellExecuteW(owner, L"open", CrashDumpFolder().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

}  // namespace wrenpost

// Appending to the activity log view below its cap and at its cap (where each new line drops
// the oldest). Run under wine: scripts/wine-run build/windows/bench/log_append_win.exe [cap]
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "support/PromptRecorder.h"
#include "ui/main/MainWindow_win.h"

using namespace wrenpost;

namespace {

double MillisecondsPerLine(MainWindow& window, int from, int count) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = from; i < from + count; ++i) {
        window.AppendLogLine(L"2025-01-01 00:00:00 [INFO] Cycle " + std::to_wstring(i) +
                             L": Folder \\\\Mailbox\\Inbox, 5 message(s) read, none new.");
    }
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count() / count;
}

}  // namespace

int main(int argc, char** argv) {
    const int cap = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int sample = std::max(50, cap / 10);
    testing::PromptRecorder prompts;
    if (!MainWindow::RegisterWindowClass(GetModuleHandleW(nullptr))) {
        return 1;
    }
    MainWindow window(static_cast<std::size_t>(cap));
    if (!window.Create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE)) {
        return 1;
    }
    const int fill = cap - sample - 1;  // the start-up line is already there
    const double filling = MillisecondsPerLine(window, 0, fill);
    const double belowCap = MillisecondsPerLine(window, fill, sample);
    const double atCap = MillisecondsPerLine(window, fill + sample, sample);
    std::printf("log view cap %d lines\n", cap);
    std::printf("  first %d lines:        %.3f ms/line\n", fill, filling);
    std::printf("  last %d below the cap: %.3f ms/line\n", sample, belowCap);
    std::printf("  %d at the cap:         %.3f ms/line (ratio %.2f)\n", sample, atCap,
                atCap / belowCap);
    DestroyWindow(window.Window());
    return 0;
}

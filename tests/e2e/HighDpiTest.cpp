// The real program's window at 144 DPI, read from the registry at its start as on a scaled
// screen. (Screenshots come from the in-process tests: under wine one process cannot read
// another's pixels from the screen.)
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include "support/RunningProgram_win.h"
#include "ui/main/MainForm.h"

namespace wrenpost::testing {
namespace {

TEST(MainWindowAtHighDpi, TheFormScalesAndStillFitsTheScreen) {
    const DWORD dpi = 144;
    ASSERT_TRUE(
        SetUserValue(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)));
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    RECT start{};
    GetWindowRect(program.Control(kIdStartMonitor), &start);
    EXPECT_EQ(start.right - start.left, 270);  // 180 at 96 DPI
    RECT window{};
    GetWindowRect(program.Main(), &window);
    EXPECT_LE(window.bottom - window.top, GetSystemMetrics(SM_CYSCREEN));
    const DWORD normal = 96;
    SetUserValue(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &normal, sizeof(normal));
    program.End();
}

}  // namespace
}  // namespace wrenpost::testing

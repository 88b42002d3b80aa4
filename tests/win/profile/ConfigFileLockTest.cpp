// Two instances on one profile take turns: a writer waits while another process holds the file's
// lock, and a lock whose holder ended without releasing it is taken.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/AppState.h"
#include "profile/ConfigFileLock.h"
#include "profile/ProfileConfig.h"
#include "support/HelperProgram_win.h"
#include "support/TempDir.h"

namespace wrenpost::testing {
namespace {

TEST(ConfigFileLockAcrossProcesses, WritersWaitForAnotherInstanceAndTakeAnAbandonedLock) {
    const struct {
        const wchar_t* file;
        const wchar_t* mode;
        std::function<bool(const std::filesystem::path&)> write;
    } cases[] = {
        {L"WorkConfig.json", L"lock",
         [](const auto& path) { return SaveProfileConfig(path, DefaultProfileConfig()); }},
        {L"WorkConfig.json", L"abandon",
         [](const auto& path) { return SaveProfileConfig(path, DefaultProfileConfig()); }},
        {L"AppState.json", L"lock",
         [](const auto& path) {
             return UpdateAppStateFile(path, [](AppState& s) { s.LastProfile = L"Work"; });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.file) + L" " + c.mode);
        TempDir dir;
        std::wstring shouting = c.file;
        for (wchar_t& ch : shouting) {
            ch = static_cast<wchar_t>(towupper(ch));
        }
        HeldFile holder(dir / L"x" / L".." / shouting, c.mode);  // another spelling of one file
        ASSERT_TRUE(holder.Holding());
        bool waited = false;
        DWORD holderEnded = 999;
        // Called only once this writer found the lock held: the holder then lets go or ends.
        SetConfigFileLockWaitHookForTesting([&](const std::wstring&) {
            waited = true;
            holderEnded = holder.End();
        });
        const bool written = c.write(dir / c.file);
        SetConfigFileLockWaitHookForTesting(nullptr);
        EXPECT_TRUE(waited);
        EXPECT_EQ(holderEnded, 0u);
        EXPECT_TRUE(written);
    }
}

}  // namespace
}  // namespace wrenpost::testing

// Leftover temporary files: only our writers' names count, only dead writers' files go, and only
// expired (or future-stamped) hand-offs are removed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>

#include "app/StaleFiles.h"
#include "support/TempDir.h"
#include "vault/Handoff.h"

namespace wrenpost {
namespace {

using testing::TempDir;
using testing::WriteAllBytes;

TEST(StaleFiles, TemporarySiblingNamesGiveTheirWriter) {
    const std::pair<const wchar_t*, std::optional<std::uint32_t>> rows[] = {
        {L"WorkConfig.json.4242-7.tmp", 4242u},
        {L"TokenVault.dat.1-0.tmp", 1u},
        {L"0000000000000017.json.99-3.tmp", 99u},
        {L"WorkConfig.json.4242-7.TMP", std::nullopt},
        {L"WorkConfig.json.4242.tmp", std::nullopt},
        {L"WorkConfig.json.42a2-7.tmp", std::nullopt},
        {L"WorkConfig.json.-7.tmp", std::nullopt},
        {L"WorkConfig.json.4242-.tmp", std::nullopt},
        {L"Work.4242-7.tmp", std::nullopt},  // no extension: not a sibling of our files
        {L"VaultLaunch_ab12.tmp", std::nullopt},
        {L"WorkConfig.json.99999999999-7.tmp", std::nullopt},
    };
    for (const auto& [name, writer] : rows) {
        EXPECT_EQ(TemporarySiblingWriter(name), writer) << ::testing::PrintToString(std::wstring(name));
    }
}

TEST(StaleFiles, SiblingsOfDeadWritersGoDownToTheGivenDepth) {
    TempDir dir;
    const auto root = dir.Path();
    const std::set<std::uint32_t> running = {7};
    const auto isRunning = [&](std::uint32_t pid) { return running.count(pid) > 0; };
    const std::filesystem::path files[] = {
        root / L"AppState.json.5-0.tmp",                     // dead: removed
        root / L"AppState.json.7-0.tmp",                     // running: kept
        root / L"notes.txt",                                 // not ours: kept
        root / L"P" / L"Work" / L"WorkConfig.json.5-1.tmp",  // depth 2: removed
        root / L"P" / L"Work" / L"Outbox" / L"1.json.5-2.tmp",  // depth 3: beyond, kept
    };
    for (const auto& file : files) {
        WriteAllBytes(file, "x");
    }
    EXPECT_EQ(SweepStaleTemporarySiblings(root, 2, isRunning, nullptr), 2u);
    const bool kept[] = {false, true, true, false, true};
    for (std::size_t i = 0; i < std::size(files); ++i) {
        EXPECT_EQ(std::filesystem::exists(files[i]), kept[i]) << files[i];
    }
}

TEST(StaleFiles, HandoffsGoOnceExpiredOrWhenStampedInTheFuture) {
    TempDir dir;
    const auto now = std::filesystem::file_time_type::clock::now();
    const struct {
        const wchar_t* id;
        int ageSeconds;
        bool kept;
    } rows[] = {{L"fresh", 10, true},  {L"edge", kHandoffLifetimeSeconds - 1, true},
                {L"old", 120, false},  {L"future", -60, false},
                {L"soon", -2, true}};
    for (const auto& row : rows) {
        const auto path = dir / HandoffFileName(row.id);
        WriteAllBytes(path, "x");
        std::filesystem::last_write_time(path, now - std::chrono::seconds(row.ageSeconds));
    }
    WriteAllBytes(dir / L"VaultLaunch_no.dots.tmp", "x");  // not a hand-off id
    std::filesystem::last_write_time(dir / L"VaultLaunch_no.dots.tmp", now - std::chrono::hours(1));
    EXPECT_EQ(SweepExpiredHandoffs(dir.Path(), now, nullptr), 2u);
    for (const auto& row : rows) {
        EXPECT_EQ(std::filesystem::exists(dir / HandoffFileName(row.id)), row.kept) << row.ageSeconds;
    }
    EXPECT_TRUE(std::filesystem::exists(dir / L"VaultLaunch_no.dots.tmp"));
}

}  // namespace
}  // namespace wrenpost

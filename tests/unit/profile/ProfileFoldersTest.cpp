// Profile folders: finding a profile in one, choosing one for SAVE and START, clearing orphaned
// and temporary ones, and a session's first status file.
#include <gtest/gtest.h>

#include <vector>

#include "common/JsonText.h"
#include "common/TextFile.h"
#include "profile/InitialMonitorStatus.h"
#include "profile/ProfileCleanup.h"
#include "profile/ProfileFolders.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteAllBytes;
using Entries = std::vector<const wchar_t*>;  // a list member of a tuple would dangle

// Names ending in '/' become folders, the rest files; tokens read-only, which Windows refuses to
// delete as they are.
void Fill(const fs::path& folder, const Entries& entries) {
    fs::create_directories(folder);
    for (const std::wstring entry : entries) {
        fs::create_directories((folder / entry).parent_path());
        if (entry.back() != L'/') {
            WriteAllBytes(folder / entry, "x");
        }
        if (entry.ends_with(L".token")) {
            fs::permissions(folder / entry, fs::perms::owner_write, fs::perm_options::remove);
        }
    }
}

// Gives the files back so the temporary folder can go.
void MakeWritable(const fs::path& root) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    }
}

using Lines = std::vector<std::pair<LogLevel, std::wstring>>;
LogFunction Into(Lines& lines) {
    return [&lines](LogLevel level, const std::wstring& line) { lines.emplace_back(level, line); };
}

TEST(ProfileFolderScan, FindsTheConfigAndTellsWhetherProfileFilesAreThere) {
    const std::tuple<Entries, const wchar_t*, bool> rows[] = {
        // found name, has profile files
        {{}, nullptr, false},
        {{L"Config.json", L"Rules.json", L"Monitor.json"}, nullptr, false},
        {{L"a", L"b", L"c", L"d", L"OpsConfig.json", L"Config.json", L"notes.txt"}, L"Ops", true},
        {{L"salesconfig.json", L"SalesRules.bak"}, nullptr, false},
        {{L"SalesRules.json"}, nullptr, true},
        {{L"XConfig.json/", L"XRules.json/"}, nullptr, false}};
    for (const auto& [entries, name, hasFiles] : rows) {
        TempDir dir;
        Fill(dir.Path(), entries);
        const auto found = FindProfileConfig(dir.Path());
        EXPECT_EQ(found ? found->ProfileName : L"-", name ? name : L"-");
        EXPECT_EQ(found ? found->Path : fs::path(),
                  name ? dir / (std::wstring(name) + L"Config.json") : fs::path());
        EXPECT_EQ(FolderHasProfileFiles(dir.Path()), hasFiles) << entries.size();
    }
}

TEST(ProfileFolderChoice, SaveMatchesTheNameAndRefusesAnotherProfileStartPrefersTheCurrent) {
    EXPECT_EQ(SaveFolderFor(L"D:\\Keep\\sales", L"Sales"), fs::path(L"D:\\Keep\\sales"));
    EXPECT_EQ(SaveFolderFor(L"/keep/Profiles", L"Sales"), fs::path(L"/keep/Profiles/Sales"));
    EXPECT_EQ(SaveFolderFor(L"/keep/Sale", L"Sales"), fs::path(L"/keep/Sale/Sales"));

    TempDir dir;
    Fill(dir / L"current", {L"OpsConfig.json"});
    Fill(dir / L"sales", {L"salesConfig.json"});
    // A folder that already holds the profile is saved in place, whatever its name.
    EXPECT_EQ(SaveFolderFor(dir / L"current", L"ops"), dir / L"current");
    EXPECT_EQ(SaveFolderFor(dir / L"current", L"Sales"), dir / L"current" / L"Sales");
    EXPECT_EQ(ConflictingProfile(dir / L"current", L"Sales"), L"Ops");
    EXPECT_EQ(ConflictingProfile(dir / L"current", L"Opsx"), L"Ops");
    EXPECT_EQ(ConflictingProfile(dir / L"current", L"Xps"), L"Ops");  // same length, first letter
    EXPECT_FALSE(ConflictingProfile(dir / L"current", L"oPS"));
    EXPECT_FALSE(ConflictingProfile(dir / L"sales", L"Sales"));
    EXPECT_FALSE(ConflictingProfile(dir.Path(), L"Sales"));

    EXPECT_EQ(ProfileFolderFor(dir / L"P", dir / L"current", L"Ops"), dir / L"current");
    for (const fs::path& current : {dir / L"current", fs::path()}) {
        EXPECT_EQ(ProfileFolderFor(dir / L"P", current, L"Sales"), dir / L"P" / L"Sales");
        EXPECT_FALSE(fs::exists(dir / L"P"));  // looked at, never created
    }
}

TEST(OrphanCleanup, DeletesOnlyFoldersOfWorkingStateAndReportsAKeptFolderOnce) {
    const std::tuple<const wchar_t*, Entries, bool> rows[] = {
        {L"a", {L"Monitor.json"}, true},
        {L"b", {L"XMonitor.json", L"X.token", L"XConfig.json.12-3.tmp", L"e/f/"}, true},
        {L"c", {}, true},
        {L"_Temporary", {}, false},
        {L"d", {L"XRules.bak"}, false},
        {L"e", {L"XMonitor.json", L"notes.txt"}, false},
        {L"f", {L"sub/XMonitor.json"}, false},
        {L"g", {L"XRules.json", L"X.token"}, false},
        {L"h", {L"a.tmp"}, false},
        {L"i", {L"b.12-x.tmp"}, false},
        {L"j", {L"c.x-12.tmp"}, false},
        {L"k", {L"12-3.tmp"}, false},
        {L"l", {L"XMonitor.json", L"XOutbox/0000000000000001.json", L"XOutbox/Session.json"}, true},
        {L"m", {L"XOutbox/notes.txt"}, false},
        {L"n", {L"Other/0000000000000001.json"}, false}};
    TempDir dir;
    for (const auto& [folder, entries, deleted] : rows) {
        Fill(dir / folder, entries);
    }
    Fill(dir.Path(), {L"loose.token"});
    Lines lines;
    KeptFolderReports reported;
    CleanOrphanProfileFolders(dir.Path(), Into(lines), reported);
    CleanOrphanProfileFolders(dir.Path(), Into(lines), reported);

    for (const auto& [folder, entries, deleted] : rows) {
        EXPECT_EQ(fs::exists(dir / folder), !deleted) << folder;
    }
    EXPECT_TRUE(fs::exists(dir / L"loose.token"));
    EXPECT_EQ(reported.size(), 9u);
    EXPECT_EQ(lines.size(), 4u + 9u);  // each deletion, each kept folder once
    // Only the folder whose outbox still held a notification says what was lost with it.
    const auto warned = std::count_if(lines.begin(), lines.end(), [](const auto& line) {
        return line.first == LogLevel::Warning &&
               line.second.find(L" 1 undelivered notifications in it were discarded.") !=
                   std::wstring::npos;
    });
    EXPECT_EQ(warned, 1);
    MakeWritable(dir.Path());
}

TEST(OrphanCleanup, TemporaryProfileGoesOnlyFromUnderTemporary) {
    TempDir dir;
    const std::tuple<fs::path, bool, LogLevel> rows[] = {
        {dir / L"_Temporary" / L"_Temp_A", true, LogLevel::Info},
        {dir / L"_Temporary" / L"_Temp_B" / L"", true, LogLevel::Info},
        {dir / L"Sales", false, LogLevel::Error}};
    for (const auto& [folder, deleted, level] : rows) {
        Fill(folder, {L"X.token", L"sub/notes.txt"});
        fs::path record = folder;
        Lines lines;
        DeleteTemporaryProfile(record, Into(lines));
        DeleteTemporaryProfile(record, Into(lines));  // the record is cleared: nothing to do
        EXPECT_TRUE(record.empty());
        EXPECT_EQ(fs::exists(folder), !deleted) << folder;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].first, level) << lines[0].second;
    }
    // A dead instance's session left notifications behind: the deletion says how many.
    fs::path abandoned = dir / L"_Temporary" / L"_Temp_C";
    Fill(abandoned, {L"_Temp_COutbox/0000000000000001.json", L"_Temp_COutbox/0000000000000002.json"});
    Lines lines;
    DeleteTemporaryProfile(abandoned, Into(lines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].first, LogLevel::Warning);
    EXPECT_NE(lines[0].second.find(L" 2 undelivered notifications in it were discarded."),
              std::wstring::npos);
    MakeWritable(dir.Path());
}

TEST(InitialMonitorStatus, IsWrittenIntoANewFolderAndStaysValidJson) {
    TempDir dir;
    ASSERT_TRUE(WriteInitialMonitorStatus(dir / L"new" / L"XMonitor.json", L"a\"b"));
    std::wstring text;
    ASSERT_TRUE(ReadTextFile(dir / L"new" / L"XMonitor.json", text));
    EXPECT_EQ(ReadJsonStringField(text, L"ProfileName"), L"a\"b");
    EXPECT_EQ(ReadJsonStringField(text, L"Status"), L"Stopped");
    WriteAllBytes(dir / L"file", "x");
    EXPECT_FALSE(WriteInitialMonitorStatus(dir / L"file" / L"XMonitor.json", L"X"));
}

}  // namespace
}  // namespace wrenpost

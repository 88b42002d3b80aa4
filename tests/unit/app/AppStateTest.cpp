// AppState.json: the seven written lines, the tolerant per-field reader, and the file round trip.
#include <gtest/gtest.h>

#include "app/AppState.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;

TEST(AppStateFile, IsWrittenAsSevenVerbatimLinesAndReadBack) {
    testing::TempDir dir;
    const auto path = dir / L"Wrenpost" / L"AppState.json";  // the folder is created
    // A value spelled like a key must not shadow the real key.
    AppState state{L"LastProfileFolder", true, L"C:\\Users\\me\\", L"1.2", 1767225600};
    ASSERT_TRUE(SaveAppStateFile(path, state));
    EXPECT_EQ(ReadAllBytes(path),
              "{\r\n  \"LastProfile\": \"LastProfileFolder\",\r\n"
              "  \"SuppressMasterToggleReminder\": true,\r\n"
              "  \"LastProfileFolder\": \"C:\\Users\\me\\\",\r\n"
              "  \"LastDismissedUpdateVersion\": \"1.2\",\r\n"
              "  \"LastDismissedUpdateAtEpochSeconds\": 1767225600\r\n}\r\n");
    EXPECT_EQ(LoadAppStateFile(path), state);
    EXPECT_EQ(LoadAppStateFile(dir / L"nowhere.json"), AppState{});

    // A double quote cannot be stored; a refused or interrupted save keeps the old file.
    const std::string before = ReadAllBytes(path);
    std::wstring error;
    state.LastProfile = L"x\", \"LastProfileFolder\": \"D:\\evil";
    EXPECT_FALSE(SaveAppStateFile(path, state, &error));
    EXPECT_FALSE(error.empty());
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(SaveAppStateFile(path, AppState{}));
    EXPECT_EQ(ReadAllBytes(path), before);
}

// An update writes over nothing or over what it read, never defaults over a file it could not
// read (the folder start-with-Windows resumes would be lost).
TEST(AppStateFile, AnUpdateNeverWritesDefaultsOverAFileItCouldNotRead) {
    const AppState stored{L"Desk", true, L"C:\\Profiles\\Desk", L"1.2", 5};
    const struct {
        const char* name;
        int before;  // 0 nothing, 1 the stored record, 2 a folder in its place (unreadable)
        AppStateRead read;
        bool updated;
    } cases[] = {
        {"absent", 0, AppStateRead::Absent, true},
        {"stored", 1, AppStateRead::Loaded, true},
        {"unreadable", 2, AppStateRead::Unreadable, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDir dir;
        const auto path = dir / L"AppState.json";
        if (c.before == 1) {
            ASSERT_TRUE(SaveAppStateFile(path, stored));
        } else if (c.before == 2) {
            std::filesystem::create_directories(path / L"x");
        }
        AppState read;
        read.LastProfile = L"untouched";
        std::wstring reason;
        EXPECT_EQ(ReadAppStateFile(path, read, &reason), c.read);
        EXPECT_EQ(read.LastProfile, c.before == 1 ? L"Desk" : c.before == 0 ? L"" : L"untouched");
        std::wstring error;
        EXPECT_EQ(UpdateAppStateFile(path, [](AppState& s) { s.LastProfile = L"Next"; }, &error),
                  c.updated);
        if (c.updated) {
            AppState expected = c.before == 1 ? stored : AppState{};
            expected.LastProfile = L"Next";
            EXPECT_EQ(LoadAppStateFile(path), expected);
        } else {
            EXPECT_NE(error.find(path.wstring()), std::wstring::npos);
            EXPECT_TRUE(std::filesystem::is_directory(path));
        }
    }
}

TEST(AppStateReader, DamagedValuesFallBackPerFieldAndSecondsMustBeAWholeNumber) {
    const struct {
        const wchar_t *flag, *seconds;
        bool flagValue;
        std::int64_t secondsValue;
    } rows[] = {
        {L" \t true\r\n", L"  +42 ", true, 42},
        {L"TRUE", L"-42", false, -42},
        {L"true x", L"12a", false, 0},
        {L"true", L"-", true, 0},
        {L"true", L"9223372036854775807", true, INT64_MAX},
        {L"true", L"9223372036854775808", true, 0},
        {L"true", L"-9223372036854775808", true, INT64_MIN},
    };
    for (const auto& row : rows) {
        // The lines as written, with the flag's and the seconds' values replaced.
        const AppState state = ParseAppState(
            L"{\n  \"LastProfile\": \"Sales\",\n  \"SuppressMasterToggleReminder\": " +
            std::wstring(row.flag) + L",\n  \"LastDismissedUpdateAtEpochSeconds\": " + row.seconds +
            L"\n}\n");
        EXPECT_EQ(state.SuppressMasterToggleReminder, row.flagValue) << row.flag;
        EXPECT_EQ(state.LastDismissedUpdateAtEpochSeconds, row.secondsValue) << row.seconds;
    }

    // Damaged values fall back per field.
    const AppState state = ParseAppState(
        L"{\"LastProfile\": Sales, \"LastProfileFolder\": \"C:\\D\","
        L" \"LastDismissedUpdateVersion\" \"1.0\"}");
    // Without its own quotes a text value is whatever the next pair of quotes holds.
    EXPECT_EQ(state.LastProfile, L"LastProfileFolder");
    EXPECT_EQ(state.LastProfileFolder, L"C:\\D");
    EXPECT_EQ(state.LastDismissedUpdateVersion, L"");  // no colon: not a key
    EXPECT_EQ(ParseAppState(L"{\"LastProfileFolder\": \"C:\\Data").LastProfileFolder, L"");
    // The slice ends at the closing brace when no comma follows.
    EXPECT_TRUE(
        ParseAppState(L"{\"SuppressMasterToggleReminder\":true}").SuppressMasterToggleReminder);
}

}  // namespace
}  // namespace wrenpost

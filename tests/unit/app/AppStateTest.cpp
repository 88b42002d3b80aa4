// AppState.json: the seven written lines, the tolerant per-field reader, and the file round trip.
#include <gtest/gtest.h>

#include <limits>

#include "app/AppState.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

AppState Sample() {
    AppState state;
    state.LastProfile = L"Sales";
    state.SuppressMasterToggleReminder = true;
    state.LastProfileFolder = L"C:\\Users\\me\\Profiles\\";
    state.LastDismissedUpdateVersion = L"1.2.3";
    state.LastDismissedUpdateAtEpochSeconds = 1767225600;
    return state;
}

TEST(AppStateFile, IsWrittenAsSevenVerbatimLinesAndReadBack) {
    TempDir dir;
    const auto path = dir / L"Wrenpost" / L"AppState.json";  // the folder is created
    ASSERT_TRUE(SaveAppStateFile(path, Sample()));
    EXPECT_EQ(ReadAllBytes(path),
              "{\r\n"
              "  \"LastProfile\": \"Sales\",\r\n"
              "  \"SuppressMasterToggleReminder\": true,\r\n"
              "  \"LastProfileFolder\": \"C:\\Users\\me\\Profiles\\\",\r\n"
              "  \"LastDismissedUpdateVersion\": \"1.2.3\",\r\n"
              "  \"LastDismissedUpdateAtEpochSeconds\": 1767225600\r\n"
              "}\r\n");
    EXPECT_EQ(LoadAppStateFile(path), Sample());
    EXPECT_EQ(LoadAppStateFile(dir / L"nowhere" / L"AppState.json"), AppState{});
}

TEST(AppStateFile, AwkwardValuesSurviveTheRoundTrip) {
    TempDir dir;
    const auto path = dir / L"AppState.json";
    for (const wchar_t* value :
         {L"\\\\server\\share\\n", L"C:\\Users\\\u0418\u0432\u0430\u043d\\Profiles",
          // Values spelled like keys must not shadow the real keys.
          L"LastProfileFolder", L"SuppressMasterToggleReminder", L"LastDismissedUpdateVersion",
          L"LastDismissedUpdateAtEpochSeconds"}) {
        AppState state = Sample();
        state.LastProfile = value;
        state.LastDismissedUpdateAtEpochSeconds = -1;
        ASSERT_TRUE(SaveAppStateFile(path, state));
        EXPECT_EQ(LoadAppStateFile(path), state);
        EXPECT_EQ(ParseAppState(FormatAppState(state)), state);
    }
}

TEST(AppStateFile, RefusedOrInterruptedSavesKeepTheOldFile) {
    TempDir dir;
    const auto path = dir / L"AppState.json";
    ASSERT_TRUE(SaveAppStateFile(path, Sample()));
    const std::string before = ReadAllBytes(path);

    AppState injected = Sample();
    injected.LastProfile = L"x\", \"LastProfileFolder\": \"D:\\evil";
    std::wstring error;
    EXPECT_FALSE(SaveAppStateFile(path, injected, &error));
    EXPECT_FALSE(error.empty());
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(SaveAppStateFile(path, AppState{}));
    EXPECT_EQ(ReadAllBytes(path), before);
}

// The lines as written, with the flag's and the seconds' values replaced.
AppState ParseWith(const std::wstring& flag, const std::wstring& seconds) {
    return ParseAppState(
        L"{\n  \"LastProfile\": \"Sales\",\n  \"SuppressMasterToggleReminder\": " + flag +
        L",\n  \"LastProfileFolder\": \"C:\\x\",\n  \"LastDismissedUpdateVersion\": \"1.0\",\n"
        L"  \"LastDismissedUpdateAtEpochSeconds\": " +
        seconds + L"\n}\n");
}

TEST(AppStateReader, FlagIsTrueOnlyForTheLowerCaseWordAndSecondsMustBeAWholeNumber) {
    for (const wchar_t* flag : {L"TRUE", L"1", L"true x"}) {
        EXPECT_FALSE(ParseWith(flag, L"0").SuppressMasterToggleReminder) << flag;
    }
    EXPECT_TRUE(ParseWith(L" \t true\r\n", L"0").SuppressMasterToggleReminder);
    // The slice ends at the closing brace when no comma follows.
    EXPECT_TRUE(
        ParseAppState(L"{\"SuppressMasterToggleReminder\":true}").SuppressMasterToggleReminder);

    for (const wchar_t* bad : {L"12a", L"a12", L"1 2", L"", L"-", L"\"12\"", L"9223372036854775808",
                               L"-9223372036854775809", L"99999999999999999999999"}) {
        EXPECT_EQ(ParseWith(L"true", bad).LastDismissedUpdateAtEpochSeconds, 0) << bad;
    }
    const struct {
        const wchar_t* text;
        std::int64_t value;
    } seconds[] = {{L"  42 ", 42},
                   {L"-42", -42},
                   {L"+42", 42},
                   {L"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
                   {L"-9223372036854775808", std::numeric_limits<std::int64_t>::min()}};
    for (const auto& s : seconds) {
        EXPECT_EQ(ParseWith(L"true", s.text).LastDismissedUpdateAtEpochSeconds, s.value) << s.text;
    }
}

TEST(AppStateReader, DamagedValuesFallBackPerFieldAndKeysAreMatchedWhole) {
    const AppState state = ParseAppState(
        L"{\n  \"LastProfile\": Sales,\n  \"SuppressMasterToggleReminder\": yes,\n"
        L"  \"LastProfileFolder\": \"C:\\Data\",\n  \"LastDismissedUpdateVersion\" \"1.0\"\n"
        L"  \"LastDismissedUpdateAtEpochSeconds\": 12a\n}\n");
    EXPECT_FALSE(state.SuppressMasterToggleReminder);
    EXPECT_EQ(state.LastProfileFolder, L"C:\\Data");
    EXPECT_EQ(state.LastDismissedUpdateAtEpochSeconds, 0);
    EXPECT_EQ(state.LastDismissedUpdateVersion, L"");
    // Without its own quotes a text value is whatever the next pair of quotes holds.
    EXPECT_EQ(state.LastProfile, L"SuppressMasterToggleReminder");

    EXPECT_EQ(ParseAppState(L"{\"LastProfileFolder\": \"C:\\Data").LastProfileFolder, L"");
    EXPECT_EQ(ParseAppState(L"{\"LastProfile\" \"x\"}").LastProfile, L"");
    EXPECT_EQ(ParseAppState(L"garbage"), AppState{});
    // "LastProfile" must not be found inside "LastProfileFolder".
    const AppState folderOnly = ParseAppState(L"{\"LastProfileFolder\": \"C:\\P\"}");
    EXPECT_EQ(folderOnly.LastProfile, L"");
    EXPECT_EQ(folderOnly.LastProfileFolder, L"C:\\P");
}

}  // namespace
}  // namespace wrenpost

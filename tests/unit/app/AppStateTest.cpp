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
using testing::WriteAllBytes;

AppState Sample() {
    AppState state;
    state.LastProfile = L"Sales";
    state.SuppressMasterToggleReminder = true;
    state.LastProfileFolder = L"C:\\Users\\me\\Profiles\\";
    state.LastDismissedUpdateVersion = L"1.2.3";
    state.LastDismissedUpdateAtEpochSeconds = 1767225600;
    return state;
}

// The lines as written, with one field's value replaced.
std::wstring FileWith(const std::wstring& flag, const std::wstring& seconds) {
    return L"{\n  \"LastProfile\": \"Sales\",\n  \"SuppressMasterToggleReminder\": " + flag +
           L",\n  \"LastProfileFolder\": \"C:\\x\",\n  \"LastDismissedUpdateVersion\": \"1.0\",\n"
           L"  \"LastDismissedUpdateAtEpochSeconds\": " +
           seconds + L"\n}\n";
}

TEST(AppStateFile, IsWrittenAsSevenLinesWithVerbatimValues) {
    TempDir dir;
    ASSERT_TRUE(SaveAppStateFile(dir / L"AppState.json", Sample()));
    EXPECT_EQ(ReadAllBytes(dir / L"AppState.json"),
              "{\r\n"
              "  \"LastProfile\": \"Sales\",\r\n"
              "  \"SuppressMasterToggleReminder\": true,\r\n"
              "  \"LastProfileFolder\": \"C:\\Users\\me\\Profiles\\\",\r\n"
              "  \"LastDismissedUpdateVersion\": \"1.2.3\",\r\n"
              "  \"LastDismissedUpdateAtEpochSeconds\": 1767225600\r\n"
              "}\r\n");
    EXPECT_EQ(LoadAppStateFile(dir / L"AppState.json"), Sample());
}

TEST(AppStateFile, BackslashPathsComeBackUnchanged) {
    TempDir dir;
    AppState state;
    state.LastProfileFolder = L"C:\\Users\\me\\Profiles";
    state.LastProfile = L"\\\\server\\share\\n";
    ASSERT_TRUE(SaveAppStateFile(dir / L"AppState.json", state));
    EXPECT_EQ(LoadAppStateFile(dir / L"AppState.json"), state);
}

TEST(AppStateFile, CyrillicFolderSurvivesTheFile) {
    TempDir dir;
    AppState state = Sample();
    state.LastProfileFolder = L"C:\\Users\\\u0418\u0432\u0430\u043d\\Profiles";
    ASSERT_TRUE(SaveAppStateFile(dir / L"AppState.json", state));
    EXPECT_EQ(ReadAllBytes(dir / L"AppState.json").substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(LoadAppStateFile(dir / L"AppState.json"), state);
}

TEST(AppStateFile, MissingFileGivesDefaults) {
    TempDir dir;
    EXPECT_EQ(LoadAppStateFile(dir / L"AppState.json"), AppState{});
    EXPECT_EQ(LoadAppStateFile(dir / L"nowhere" / L"AppState.json"), AppState{});
}

TEST(AppStateFile, SaveCreatesTheMissingFolder) {
    TempDir dir;
    const auto path = dir / L"Wrenpost" / L"AppState.json";
    ASSERT_TRUE(SaveAppStateFile(path, Sample()));
    EXPECT_EQ(LoadAppStateFile(path), Sample());
}

TEST(AppStateFile, ValueWithADoubleQuoteIsRefusedAndTheFileKept) {
    TempDir dir;
    const auto path = dir / L"AppState.json";
    ASSERT_TRUE(SaveAppStateFile(path, Sample()));
    const std::string before = ReadAllBytes(path);

    AppState injected = Sample();
    injected.LastProfile = L"x\", \"LastProfileFolder\": \"D:\\evil";
    std::wstring error;
    EXPECT_FALSE(SaveAppStateFile(path, injected, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAllBytes(path), before);
}

TEST(AppStateReader, FlagIsTrueOnlyForTheLowerCaseWord) {
    EXPECT_FALSE(ParseAppState(FileWith(L"TRUE", L"0")).SuppressMasterToggleReminder);
    EXPECT_FALSE(ParseAppState(FileWith(L"1", L"0")).SuppressMasterToggleReminder);
    EXPECT_FALSE(ParseAppState(FileWith(L"true x", L"0")).SuppressMasterToggleReminder);
    EXPECT_TRUE(ParseAppState(FileWith(L" \t true\r\n", L"0")).SuppressMasterToggleReminder);
    // The slice ends at the closing brace when no comma follows.
    EXPECT_TRUE(
        ParseAppState(L"{\"SuppressMasterToggleReminder\": true}").SuppressMasterToggleReminder);
    EXPECT_TRUE(
        ParseAppState(L"\"SuppressMasterToggleReminder\":true").SuppressMasterToggleReminder);
}

TEST(AppStateReader, SecondsMustBeAWholeDecimalNumber) {
    auto seconds = [](const std::wstring& value) {
        return ParseAppState(FileWith(L"true", value)).LastDismissedUpdateAtEpochSeconds;
    };
    EXPECT_EQ(seconds(L"12a"), 0);
    EXPECT_EQ(seconds(L"a12"), 0);
    EXPECT_EQ(seconds(L"1 2"), 0);
    EXPECT_EQ(seconds(L""), 0);
    EXPECT_EQ(seconds(L"-"), 0);
    EXPECT_EQ(seconds(L"\"12\""), 0);
    EXPECT_EQ(seconds(L"  42 "), 42);
    EXPECT_EQ(seconds(L"-42"), -42);
    EXPECT_EQ(seconds(L"+42"), 42);
    EXPECT_EQ(seconds(L"9223372036854775807"), 9223372036854775807LL);
    EXPECT_EQ(seconds(L"-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(seconds(L"9223372036854775808"), 0);
    EXPECT_EQ(seconds(L"-9223372036854775809"), 0);
    EXPECT_EQ(seconds(L"99999999999999999999999"), 0);
}

TEST(AppStateReader, DamagedValuesFallBackPerField) {
    // Each damaged field takes its default; the intact ones still read.
    const AppState state = ParseAppState(
        L"{\n  \"LastProfile\": Sales,\n  \"SuppressMasterToggleReminder\": yes,\n"
        L"  \"LastProfileFolder\": \"C:\\Data\",\n  \"LastDismissedUpdateVersion\" \"1.0\"\n"
        L"  \"LastDismissedUpdateAtEpochSeconds\": 12a\n}\n");
    EXPECT_EQ(state.SuppressMasterToggleReminder, false);
    EXPECT_EQ(state.LastProfileFolder, L"C:\\Data");
    EXPECT_EQ(state.LastDismissedUpdateAtEpochSeconds, 0);
    EXPECT_EQ(state.LastDismissedUpdateVersion, L"");
    // Without its own quotes a text value is whatever the next pair of quotes holds.
    EXPECT_EQ(state.LastProfile, L"SuppressMasterToggleReminder");

    const AppState unterminated = ParseAppState(L"{\"LastProfileFolder\": \"C:\\Data");
    EXPECT_EQ(unterminated.LastProfileFolder, L"");
    EXPECT_EQ(ParseAppState(L"{\"LastProfile\" \"x\"}").LastProfile, L"");
    EXPECT_EQ(ParseAppState(L"garbage"), AppState{});
    EXPECT_EQ(ParseAppState(L""), AppState{});
}

TEST(AppStateReader, KeysAreMatchedWholeInQuotes) {
    // "LastProfile" must not be found inside "LastProfileFolder".
    const AppState state = ParseAppState(L"{\"LastProfileFolder\": \"C:\\P\"}");
    EXPECT_EQ(state.LastProfile, L"");
    EXPECT_EQ(state.LastProfileFolder, L"C:\\P");
}

TEST(AppStateFile, ValuesSpelledLikeKeysDoNotShadowTheRealKeys) {
    TempDir dir;
    for (const wchar_t* name :
         {L"LastProfileFolder", L"SuppressMasterToggleReminder", L"LastDismissedUpdateVersion",
          L"LastDismissedUpdateAtEpochSeconds"}) {
        AppState state = Sample();
        state.LastProfile = name;
        ASSERT_TRUE(SaveAppStateFile(dir / L"AppState.json", state));
        EXPECT_EQ(LoadAppStateFile(dir / L"AppState.json"), state) << name;
    }
}

TEST(AppStateReader, FormatAndParseAgree) {
    AppState state = Sample();
    state.LastDismissedUpdateAtEpochSeconds = -1;
    state.LastDismissedUpdateVersion = L"";
    EXPECT_EQ(ParseAppState(FormatAppState(state)), state);
    EXPECT_EQ(ParseAppState(FormatAppState(AppState{})), AppState{});
}

}  // namespace
}  // namespace wrenpost

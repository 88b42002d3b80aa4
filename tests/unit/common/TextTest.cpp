// Conversions and the file encoding every hand-written file relies on.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

TEST(Utf8, RoundTripsEveryPlane) {
    const std::wstring text = L"A\u00e9\u0418\u20ac" + Utf8ToWide("\xF0\x9F\x98\x80") + L"z";
    EXPECT_EQ(WideToUtf8(text), "A\xC3\xA9\xD0\x98\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(Utf16Length(text), 7u);
}

TEST(Utf8, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("\xC3"), L"\uFFFD");          // truncated sequence
    EXPECT_EQ(Utf8ToWide("\xC0\x80"), L"\uFFFD");      // overlong NUL
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD");  // encoded surrogate
}

TEST(Trim, RemovesOnlySpacesTabsAndLineBreaks) {
    EXPECT_EQ(TrimWhitespace(L" \t\r\n a b \n"), L"a b");
    EXPECT_EQ(TrimWhitespace(L"\u00a0x\u00a0"), L"\u00a0x\u00a0");
    EXPECT_EQ(TrimWhitespace(L" \t "), L"");
}

TEST(TextFileEncoding, LatinTextIsOneBytePerCharacterWithCrLf) {
    EXPECT_EQ(EncodeTextFile(L"{\n  \"a\": \"\u00e9\u00ff\"\n}\n"),
              std::string("{\r\n  \"a\": \"\xE9\xFF\"\r\n}\r\n"));
}

TEST(TextFileEncoding, TextAboveLatin1IsWrittenWholeAsUtf8WithBom) {
    EXPECT_EQ(EncodeTextFile(L"\u00e9\n\u0418"), "\xEF\xBB\xBF\xC3\xA9\r\n\xD0\x98");
}

TEST(TextFileEncoding, DecodeMirrorsTextModeReading) {
    EXPECT_EQ(DecodeTextFile("a\r\nb\rc\n"), L"a\nb\rc\n");
    EXPECT_EQ(DecodeTextFile("\xE9"), L"\u00e9");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF\xD0\x98\r\n"), L"\u0418\n");
    // Without the mark, UTF-8 bytes are Latin-1 characters: old files keep their meaning.
    EXPECT_EQ(DecodeTextFile("\xC3\xA9"), L"\u00c3\u00a9");
}

TEST(AtomicWrite, ReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
    TempDir dir;
    const auto path = dir / L"Config.json";
    ASSERT_TRUE(WriteTextFileAtomically(path, L"old\n"));
    ASSERT_TRUE(WriteTextFileAtomically(path, L"new\n"));
    EXPECT_EQ(ReadAllBytes(path), "new\r\n");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(AtomicWrite, AFailedWriteKeepsTheOldFileAndReportsIt) {
    TempDir dir;
    const auto path = dir / L"Rules.json";
    ASSERT_TRUE(WriteTextFileAtomically(path, L"precious\n"));
    FailNextAtomicWritesForTesting(1);
    std::wstring error;
    EXPECT_FALSE(WriteTextFileAtomically(path, L"replacement that never lands\n", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAllBytes(path), "precious\r\n");
    EXPECT_TRUE(WriteTextFileAtomically(path, L"next\n"));
}

TEST(AtomicWrite, AMissingFolderFails) {
    TempDir dir;
    EXPECT_FALSE(WriteTextFileAtomically(dir / L"absent" / L"x.json", L"x"));
}

TEST(ReadTextFile, MissingFileFailsAndLeavesOutputAlone) {
    TempDir dir;
    std::wstring text = L"unchanged";
    EXPECT_FALSE(ReadTextFile(dir / L"none.json", text));
    EXPECT_EQ(text, L"unchanged");
}

}  // namespace
}  // namespace wrenpost

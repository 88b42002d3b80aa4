// UTF-8 conversion, lenient and strict; the file encoding every hand-written file
// relies on, the one read and the one atomic write behind every file the program rewrites.
#include <gtest/gtest.h>

#include <set>

#include "common/SafeText.h"
#include "common/Text.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

// Bad, truncated, lone continuation, overlong, surrogate, above U+10FFFF (the vault document
// and rules tests cover valid text of every plane).
TEST(TextUtf8, InvalidBytesBecomeReplacementCharactersOrFailStrictly) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"a\xFF!", L"a\uFFFD!"},         {"\xC3", L"\uFFFD"},     {"\xE2\x82", L"\uFFFD\uFFFD"},
        {"\x82!", L"\uFFFD!"},           {"\xC0\x80", L"\uFFFD"}, {"\xED\xA0\x80", L"\uFFFD"},
        {"\xF4\x90\x80\x80", L"\uFFFD"},
    };
    for (const auto& [bytes, lenient] : cases) {
        EXPECT_EQ(Utf8ToWide(bytes), lenient) << bytes;
        std::wstring out = L"untouched";
        EXPECT_FALSE(Utf8ToWideStrict(bytes, out)) << bytes;
        EXPECT_EQ(out, L"untouched");
    }
}

TEST(TextUnsafe, ControlAndBidiCharactersAreStrippedAndLineBreaksBecomeSpaces) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"Wren \u0412\u0440 \U0001F426", L"Wren \u0412\u0440 \U0001F426"},
        {L"a\r\nb\tc\u2028d\u2029e", L"a  b c d e"},
        {L"x\x01\x1by\x7f\x85\x9fz", L"xyz"},
        {L"pay\u202Efdp.exe", L"payfdp.exe"},
        {L"\u202A\u202B\u202C\u202D\u2066\u2067\u2068\u2069\u200E\u200F\u061Cok", L"ok"},
        {L"\u200D\u00A0keep", L"\u200D\u00A0keep"},
    };
    for (const auto& [in, out] : rows) {
        EXPECT_EQ(StripUnsafeText(in), out) << WideToUtf8(in);
    }
}

TEST(TextFileEncoding, IsOneBytePerCharacterUnlessACharacterNeedsUtf8) {
    EXPECT_EQ(EncodeTextFile(L"{\n\"\u00e9\u00ff\"\n"), "{\r\n\"\xE9\xFF\"\r\n");
    EXPECT_EQ(EncodeTextFile(L"\u00e9\n\u0418"), "\xEF\xBB\xBF\xC3\xA9\r\n\xD0\x98");
    // Without the mark, UTF-8 bytes are Latin-1 characters, so old files keep their meaning.
    EXPECT_EQ(DecodeTextFile("a\r\nb\rc\n\xC3\xA9\r"), L"a\nb\rc\n\u00c3\u00a9\r");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF\xD0\x98\r\n"), L"\u0418\n");
}

// Leftovers of crashed writers (old-style names and our next two names) are skipped and kept; a
// failed write keeps the old file and leaves no temporary.
TEST(TextFileAtomicWrite, CreatesFoldersSkipsTakenNamesAndAFailureKeepsTheOldFile) {
    TempDir dir;
    const auto path = dir / L"a" / L"Vault.dat";
    ASSERT_TRUE(WriteTextFileAtomically(path, L"old, and longer than the new text\n"));
    const std::wstring pid = ToWideDecimal(static_cast<long long>(CurrentProcessId()));
    std::set<std::wstring> names = {L"Vault.dat", L"Vault.dat.tmp0",
                                    L"Vault.dat." + pid + L"-0.tmp",
                                    L"Vault.dat." + pid + L"-1.tmp"};
    std::filesystem::create_directory(dir / L"a" / L"Vault.dat.tmp0");
    std::filesystem::create_directory(dir / L"a" / (L"Vault.dat." + pid + L"-0.tmp"));
    testing::WriteAllBytes(dir / L"a" / (L"Vault.dat." + pid + L"-1.tmp"), "stale");
    SetTemporaryNameCounterForTesting(0);
    ASSERT_TRUE(WriteTextFileAtomically(path, L"new \u0418\n"));
    EXPECT_EQ(ReadAllBytes(path), "\xEF\xBB\xBFnew \xD0\x98\r\n");
    EXPECT_EQ(ReadAllBytes(dir / L"a" / (L"Vault.dat." + pid + L"-1.tmp")), "stale");
    FailNextAtomicWritesForTesting(1);
    std::wstring error;
    EXPECT_FALSE(WriteFileAtomically(path, "replacement that never lands", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAllBytes(path), "\xEF\xBB\xBFnew \xD0\x98\r\n");
    for (const auto& item : std::filesystem::directory_iterator(path.parent_path())) {
        EXPECT_EQ(names.erase(item.path().filename().wstring()), 1u) << item.path();
    }
    EXPECT_TRUE(names.empty());
    // A folder that cannot be made, and no path at all.
    testing::WriteAllBytes(dir / L"file", "x");
    EXPECT_FALSE(WriteFileAtomically(dir / L"file" / L"x.json", "x", &error));
    EXPECT_NE(error.find(L"file"), std::wstring::npos) << WideToUtf8(error);
    EXPECT_FALSE(WriteFileAtomically(std::filesystem::path(), "x"));
}

// A failed read tells "nothing there" from "there but unreadable" (with the system's reason) and
// leaves the bytes alone; a read spans any number of chunks.
TEST(TextFileRead, TellsAbsentFromUnreadableAndReadsWholeFiles) {
    TempDir dir;
    testing::WriteAllBytes(dir / L"file", "x");
    const struct {
        std::filesystem::path path;
        bool absent;
    } failing[] = {
        {dir / L"nothing.json", true},
        {dir / L"no folder" / L"nothing.json", true},
        {std::filesystem::path(), true},
        {dir.Path(), false},  // a folder
    };
    for (const auto& [path, absent] : failing) {
        std::string bytes = "untouched";
        FileReadFailure failure{!absent, L""};
        EXPECT_FALSE(ReadFileBytes(path, bytes, &failure)) << path;
        EXPECT_EQ(failure.absent, absent) << path;
        EXPECT_FALSE(failure.reason.empty()) << path;
        EXPECT_FALSE(failure.reason.ends_with(L".") || failure.reason.ends_with(L"\n"));
        EXPECT_EQ(bytes, "untouched");
    }
    std::string large(200000, 'a');
    large[123456] = '\0';
    testing::WriteAllBytes(dir / L"large", large);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(dir / L"large", bytes));
    EXPECT_EQ(bytes, large);
    testing::WriteAllBytes(dir / L"empty", "");
    ASSERT_TRUE(ReadFileBytes(dir / L"empty", bytes));
    EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace wrenpost

// The file encoding every hand-written file relies on, and the one atomic write behind every
// file the program rewrites.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "common/Text.h"
#include "common/TextFile.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;

std::set<std::wstring> Listing(const std::filesystem::path& folder) {
    std::set<std::wstring> names;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        names.insert(item.path().filename().wstring());
    }
    return names;
}

TEST(TextFileEncoding, IsOneBytePerCharacterUnlessACharacterNeedsUtf8) {
    EXPECT_EQ(EncodeTextFile(L"{\n\"a\": \"\u00e9\u00ff\"\n}\n"),
              "{\r\n\"a\": \"\xE9\xFF\"\r\n}\r\n");
    EXPECT_EQ(EncodeTextFile(L"\u00e9\n\u0418"), "\xEF\xBB\xBF\xC3\xA9\r\n\xD0\x98");
    // Decoding mirrors text-mode reading; without the mark, UTF-8 bytes are Latin-1 characters,
    // so old files keep their meaning.
    EXPECT_EQ(DecodeTextFile("a\r\nb\rc\n\xE9"), L"a\nb\rc\n\u00e9");
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF\xD0\x98\r\n"), L"\u0418\n");
    EXPECT_EQ(DecodeTextFile("\xC3\xA9"), L"\u00c3\u00a9");
    std::wstring text = L"unchanged";
    EXPECT_FALSE(ReadTextFile(TempDir() / L"none.json", text));
    EXPECT_EQ(text, L"unchanged");
}

TEST(TextFileAtomicWrite, ReplacesTheWholeFileCreatingItsFolders) {
    TempDir dir;
    const auto path = dir / L"a" / L"b" / L"Config.json";
    ASSERT_TRUE(WriteTextFileAtomically(path, L"old, and longer than the new text\n"));
    ASSERT_TRUE(WriteTextFileAtomically(path, L"new \u0418\n"));
    EXPECT_EQ(ReadAllBytes(path), "\xEF\xBB\xBFnew \xD0\x98\r\n");
    EXPECT_EQ(Listing(path.parent_path()), std::set<std::wstring>{L"Config.json"});

    testing::WriteAllBytes(dir / L"file", "x");
    std::wstring error;
    EXPECT_FALSE(WriteFileAtomically(dir / L"file" / L"x.json", "x", &error));
    EXPECT_NE(error.find(L"file"), std::wstring::npos) << WideToUtf8(error);
    EXPECT_FALSE(WriteFileAtomically(std::filesystem::path(), "x"));
}

TEST(TextFileAtomicWrite, AFailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const auto path = dir / L"Rules.json";
    ASSERT_TRUE(WriteFileAtomically(path, "precious"));
    FailNextAtomicWritesForTesting(1);
    std::wstring error;
    EXPECT_FALSE(WriteFileAtomically(path, "replacement that never lands", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAllBytes(path), "precious");
    EXPECT_EQ(Listing(dir.Path()), std::set<std::wstring>{L"Rules.json"});
    EXPECT_TRUE(WriteFileAtomically(path, "next"));
    EXPECT_EQ(ReadAllBytes(path), "next");
}

TEST(TextFileAtomicWrite, SkipsNamesThatOthersHoldAndLeavesThemAlone) {
    TempDir dir;
    const auto path = dir / L"TokenVault.dat";
    const std::wstring pid = ToWideDecimal(static_cast<long long>(CurrentProcessId()));
    // Leftovers of writers that crashed: the old-style names, and the next two names of ours.
    std::set<std::wstring> squatters = {L"TokenVault.dat.tmp0", L"TokenVault.dat.tmp1",
                                        L"TokenVault.dat." + pid + L"-0.tmp"};
    for (const std::wstring& name : squatters) {
        std::filesystem::create_directory(dir / name);
    }
    squatters.insert(L"TokenVault.dat." + pid + L"-1.tmp");
    testing::WriteAllBytes(dir / (L"TokenVault.dat." + pid + L"-1.tmp"), "stale");
    SetTemporaryNameCounterForTesting(0);
    ASSERT_TRUE(WriteFileAtomically(path, "saved"));
    EXPECT_EQ(ReadAllBytes(path), "saved");
    squatters.insert(L"TokenVault.dat");
    EXPECT_EQ(Listing(dir.Path()), squatters);
    EXPECT_EQ(ReadAllBytes(dir / (L"TokenVault.dat." + pid + L"-1.tmp")), "stale");
}

TEST(TextFileAtomicWrite, ConcurrentWritersOfOneFileNeverClash) {
    TempDir dir;
    const auto path = dir / L"Profile.json";
    const std::string texts[2] = {std::string(5000, 'a'), std::string(3000, 'b')};
    int failures[2] = {0, 0};
    std::thread writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = std::thread([&, w] {
            for (int i = 0; i < 50; ++i) {
                failures[w] += WriteFileAtomically(path, texts[w]) ? 0 : 1;
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures[0] + failures[1], 0);
    const std::string last = ReadAllBytes(path);
    EXPECT_TRUE(last == texts[0] || last == texts[1]);
    EXPECT_EQ(Listing(dir.Path()), std::set<std::wstring>{L"Profile.json"});
}

}  // namespace
}  // namespace wrenpost

// The token hand-off under real DPAPI and the real temporary folder: a protected, hidden,
// single-use file that expires after a minute.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "common/Text.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "vault/Handoff.h"
#include "vault/Handoff_win.h"

namespace wrenpost::testing {
namespace {

std::wstring Create(const Clock& clock, const std::wstring& token) {
    std::wstring id, error;
    EXPECT_TRUE(CreateHandoff(token, id, error, clock)) << WideToUtf8(error);
    return id;
}

// Reads the hand-off: the token on success, else the error text behind a '!'.
std::wstring Read(const std::wstring& id, const Clock& clock) {
    std::wstring token, error;
    const bool read = ReadHandoff(id, token, error, clock);
    EXPECT_EQ(read, error.empty());
    EXPECT_TRUE(read || token.empty());
    return read ? token : L"!" + error;
}

TEST(Handoff, CarriesTheTokenOnceInAHiddenProtectedFile) {
    FakeClock clock;
    const std::wstring token = L"tok|en \u0418";
    const std::wstring id = Create(clock, token);
    const std::filesystem::path path = HandoffPath(id);
    EXPECT_EQ(path.filename(), L"VaultLaunch_" + id + L".tmp");
    const DWORD attributes = GetFileAttributesW(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);  // wine keeps no TEMPORARY attribute
    // The file holds no trace of the token in clear text.
    EXPECT_EQ(ReadAllBytes(path).find(std::string(reinterpret_cast<const char*>(token.data()), 8)),
              std::string::npos);
    // Each hand-off has its own file, read once; a minute later it is still good.
    const std::wstring other = Create(clock, L"other");
    EXPECT_NE(other, id);
    clock.Advance(std::chrono::seconds(60));
    for (const auto& [handoff, expected] : {std::pair{other, L"other"}, {id, token.c_str()}}) {
        EXPECT_EQ(Read(handoff, clock), expected);
        EXPECT_FALSE(std::filesystem::exists(HandoffPath(handoff)));
        EXPECT_EQ(Read(handoff, clock), L"!Handoff file not found or already used.");
    }
}

// Names that would reach a real file if used as given are refused before any file is touched;
// files that cannot be used are deleted before saying why.
TEST(Handoff, RefusesBadIdsAndDeletesFilesItCannotUse) {
    FakeClock clock;
    const std::wstring id = Create(clock, L"token");
    for (const std::wstring& bad : {L"x\\..\\VaultLaunch_" + id, id + L"/"}) {
        EXPECT_EQ(Read(bad, clock), L"!Invalid handoff id.") << WideToUtf8(bad);
        EXPECT_FALSE(DeleteHandoff(bad));
    }
    const std::wstring deleted = Create(clock, L"t");
    EXPECT_TRUE(DeleteHandoff(deleted));
    EXPECT_FALSE(DeleteHandoff(deleted));
    WriteAllBytes(HandoffPath(L"Empty1"), "");
    WriteAllBytes(HandoffPath(L"Garbage2"), "not protected data at all");
    clock.Advance(std::chrono::seconds(61));
    for (const auto& [handoff, result] :
         {std::pair{std::wstring(L"Empty1"), L"!Handoff file was empty."},
          {L"Garbage2", L"!Handoff file could not be decrypted."},
          {id, L"!Handoff has expired."}}) {
        EXPECT_EQ(Read(handoff, clock), result);
        EXPECT_FALSE(std::filesystem::exists(HandoffPath(handoff))) << WideToUtf8(handoff);
    }
}

}  // namespace
}  // namespace wrenpost::testing

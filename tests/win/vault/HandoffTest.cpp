// The token hand-off under real DPAPI and the real temporary folder: a protected, hidden,
// single-use file that expires after a minute.
#include <windows.h>
// dpapi.h relies on the types windows.h declares.
#include <dpapi.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "vault/Handoff.h"
#include "vault/Handoff_win.h"

namespace wrenpost::testing {
namespace {

std::wstring Create(const Clock& clock, const std::wstring& token) {
    std::wstring id;
    std::wstring error;
    EXPECT_TRUE(CreateHandoff(token, id, error, clock)) << WideToUtf8(error);
    return id;
}

std::wstring ReadError(const std::wstring& id, const Clock& clock) {
    std::wstring token;
    std::wstring error;
    EXPECT_FALSE(ReadHandoff(id, token, error, clock));
    EXPECT_TRUE(token.empty());
    return error;
}

// Protects a text as the vault side would, for files the program itself never writes.
std::string Protect(const std::wstring& text) {
    DATA_BLOB in{static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                 reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str()))};
    DATA_BLOB out{};
    EXPECT_TRUE(CryptProtectData(&in, L"test", nullptr, nullptr, nullptr, 0, &out));
    const UniqueLocalMemory owner(out.pbData);
    return std::string(reinterpret_cast<const char*>(out.pbData), out.cbData);
}

TEST(Handoff, CarriesTheTokenOnceInAHiddenProtectedFile) {
    FakeClock clock;
    const std::wstring id = Create(clock, L"tok|en \u0418");
    EXPECT_TRUE(IsValidHandoffId(id));
    const std::filesystem::path path = HandoffPath(id);
    EXPECT_EQ(path.filename(), L"VaultLaunch_" + id + L".tmp");
    const DWORD attributes = GetFileAttributesW(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);  // wine keeps no TEMPORARY attribute
    const std::string bytes = ReadAllBytes(path);
    DATA_BLOB in{static_cast<DWORD>(bytes.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
    DATA_BLOB out{};
    LPWSTR description = nullptr;
    ASSERT_TRUE(CryptUnprotectData(&in, &description, nullptr, nullptr, nullptr, 0, &out));
    const UniqueLocalMemory descriptionOwner(description);
    const UniqueLocalMemory outOwner(out.pbData);
    EXPECT_STREQ(description, L"Wrenpost Vault Launch Handoff");
    EXPECT_EQ(
        std::wstring(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t)),
        std::wstring(L"1767225600|tok|en \u0418") + L'\0');
    // Each hand-off has its own file, read once.
    const std::wstring other = Create(clock, L"other");
    EXPECT_NE(other, id);
    clock.Advance(std::chrono::seconds(60));
    for (const auto& [handoff, expected] :
         {std::pair{other, L"other"}, std::pair{id, L"tok|en \u0418"}}) {
        std::wstring token;
        std::wstring error;
        ASSERT_TRUE(ReadHandoff(handoff, token, error, clock)) << WideToUtf8(error);
        EXPECT_EQ(token, expected);
        EXPECT_FALSE(std::filesystem::exists(HandoffPath(handoff)));
        EXPECT_EQ(ReadError(handoff, clock), L"Handoff file not found or already used.");
    }
}

TEST(Handoff, RefusesBadIdsBeforeTouchingAnyFile) {
    FakeClock clock;
    const std::wstring id = Create(clock, L"t");
    const std::filesystem::path real = HandoffPath(id);
    // Names that would reach real files if they were ever used as given.
    const std::filesystem::path dotted = real.parent_path() / L"VaultLaunch_a.b.tmp";
    std::filesystem::copy_file(real, dotted);
    for (const std::wstring& bad : {L"x\\..\\VaultLaunch_" + id, std::wstring(L"a.b"), id + L"/"}) {
        EXPECT_EQ(ReadError(bad, clock), L"Invalid handoff id.") << WideToUtf8(bad);
    }
    EXPECT_FALSE(DeleteHandoff(L"a.b"));
    EXPECT_TRUE(std::filesystem::exists(real));
    EXPECT_TRUE(std::filesystem::exists(dotted));
    SetFileAttributesW(dotted.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove(dotted);
    EXPECT_TRUE(DeleteHandoff(id));
    EXPECT_FALSE(std::filesystem::exists(real));
    EXPECT_FALSE(DeleteHandoff(id));
}

TEST(Handoff, DeletesFilesItCannotUseBeforeSayingWhy) {
    FakeClock clock;
    const std::int64_t now = ToUnixSeconds(clock.Now());
    const struct {
        std::wstring id;
        std::string content;
        std::wstring error;
    } cases[] = {
        {L"Empty1", "", L"Handoff file was empty."},
        {L"Garbage2", "not protected data at all", L"Handoff file could not be decrypted."},
        {L"NoBar3", Protect(L"1767225600 token"), L"Handoff file was malformed."},
        {L"Old4", Protect(ToWideDecimal(now - 61) + L"|token"), L"Handoff has expired."},
        {L"Fine5", Protect(ToWideDecimal(now - 60) + L"|token"), L""},
    };
    for (const auto& c : cases) {
        const std::filesystem::path path = HandoffPath(c.id);
        WriteAllBytes(path, c.content);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
        std::wstring token;
        std::wstring error;
        EXPECT_EQ(ReadHandoff(c.id, token, error, clock), c.error.empty()) << WideToUtf8(c.id);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(token, c.error.empty() ? L"token" : L"");
        EXPECT_FALSE(std::filesystem::exists(path)) << WideToUtf8(c.id);
    }
}

}  // namespace
}  // namespace wrenpost::testing

// The token hand-off under real DPAPI and the real temporary folder: a protected, hidden,
// single-use file that expires after a minute.
#include <windows.h>
// dpapi.h relies on the types windows.h declares.
#include <dpapi.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Text.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"
#include "vault/Handoff.h"
#include "vault/Handoff_win.h"

namespace wrenpost::testing {
namespace {

const std::wstring kToken = L"123456789:AAHdqTcvCH1vGWJxfSeofSAs0K5PALDsaw";

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring Create(const Clock& clock, const std::wstring& token = kToken) {
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

// Protects `bytes` as the vault side would, for files the program itself never writes.
std::string Protect(const std::wstring& text) {
    DATA_BLOB in{static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                 reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str()))};
    DATA_BLOB out{};
    EXPECT_TRUE(CryptProtectData(&in, L"test", nullptr, nullptr, nullptr, 0, &out));
    std::string bytes(reinterpret_cast<const char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return bytes;
}

TEST(Handoff, CarriesTheTokenOnceToTheReader) {
    FakeClock clock;
    const std::wstring id = Create(clock);
    EXPECT_EQ(id.size(), 16u);
    EXPECT_TRUE(IsValidHandoffId(id));
    const std::filesystem::path path = HandoffPath(id);
    EXPECT_EQ(path.filename(), L"VaultLaunch_" + id + L".tmp");
    EXPECT_TRUE(std::filesystem::exists(path));

    clock.Advance(std::chrono::seconds(60));
    std::wstring token;
    std::wstring error;
    ASSERT_TRUE(ReadHandoff(id, token, error, clock)) << WideToUtf8(error);
    EXPECT_EQ(token, kToken);
    EXPECT_FALSE(std::filesystem::exists(path));

    EXPECT_EQ(ReadError(id, clock), L"Handoff file not found or already used.");
}

TEST(Handoff, KeepsTheFileHiddenTemporaryAndProtectedWhileItExists) {
    FakeClock clock;
    const std::wstring id = Create(clock, L"tok|en \u0418");
    const std::filesystem::path path = HandoffPath(id);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    if (!RunningUnderWine()) {  // wine keeps only the classic DOS attributes
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_TEMPORARY);
    }

    const std::string bytes = ReadAllBytes(path);
    EXPECT_EQ(bytes.find("tok"), std::string::npos);
    EXPECT_EQ(bytes.find(std::string("t\0o\0k", 5)), std::string::npos);

    DATA_BLOB in{static_cast<DWORD>(bytes.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
    DATA_BLOB out{};
    LPWSTR description = nullptr;
    ASSERT_TRUE(CryptUnprotectData(&in, &description, nullptr, nullptr, nullptr, 0, &out));
    EXPECT_STREQ(description, L"Wrenpost Vault Launch Handoff");
    const std::wstring text(reinterpret_cast<const wchar_t*>(out.pbData),
                            out.cbData / sizeof(wchar_t));
    EXPECT_EQ(text, std::wstring(L"1767225600|tok|en \u0418") + L'\0');
    LocalFree(description);
    LocalFree(out.pbData);

    std::wstring token;
    std::wstring error;
    ASSERT_TRUE(ReadHandoff(id, token, error, clock)) << WideToUtf8(error);
    EXPECT_EQ(token, L"tok|en \u0418");
}

TEST(Handoff, RefusesBadIdsBeforeTouchingAnyFile) {
    FakeClock clock;
    const std::wstring id = Create(clock);
    const std::filesystem::path real = HandoffPath(id);

    // Names that would reach real files if they were ever used as given.
    const std::filesystem::path dotted = real.parent_path() / L"VaultLaunch_a.b.tmp";
    std::filesystem::copy_file(real, dotted);
    for (const std::wstring& bad : {L"x\\..\\VaultLaunch_" + id, std::wstring(L"a.b"),
                                    std::wstring(L""), std::wstring(65, L'A'), id + L"/"}) {
        EXPECT_EQ(ReadError(bad, clock), L"Invalid handoff id.") << WideToUtf8(bad);
    }
    EXPECT_TRUE(std::filesystem::exists(real));
    EXPECT_TRUE(std::filesystem::exists(dotted));
    EXPECT_FALSE(DeleteHandoff(L"a.b"));
    EXPECT_TRUE(std::filesystem::exists(dotted));
    SetFileAttributesW(dotted.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove(dotted);

    EXPECT_TRUE(DeleteHandoff(id));
    EXPECT_FALSE(std::filesystem::exists(real));
    EXPECT_FALSE(DeleteHandoff(id));
}

TEST(Handoff, DeletesFilesItCannotUseBeforeSayingWhy) {
    FakeClock clock;
    struct Case {
        std::wstring id;
        std::string content;
        std::wstring error;
    };
    const std::int64_t now = ToUnixSeconds(clock.Now());
    const std::vector<Case> cases = {
        {L"Empty1", "", L"Handoff file was empty."},
        {L"Garbage2", "not protected data at all", L"Handoff file could not be decrypted."},
        {L"NoBar3", Protect(L"1767225600 token"), L"Handoff file was malformed."},
        {L"BadTime4", Protect(L"17672x5600|token"), L"Handoff file was malformed."},
        {L"Old5", Protect(ToWideDecimal(now - 61) + L"|token"), L"Handoff has expired."},  // > 60 s
    };
    for (const Case& c : cases) {
        const std::filesystem::path path = HandoffPath(c.id);
        WriteAllBytes(path, c.content);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(ReadError(c.id, clock), c.error) << WideToUtf8(c.id);
        EXPECT_FALSE(std::filesystem::exists(path)) << WideToUtf8(c.id);
    }

    const std::filesystem::path path = HandoffPath(L"Fine6");
    WriteAllBytes(path, Protect(ToWideDecimal(now - 60) + L"|token"));
    std::wstring token;
    std::wstring error;
    ASSERT_TRUE(ReadHandoff(L"Fine6", token, error, clock)) << WideToUtf8(error);
    EXPECT_EQ(token, L"token");
}

TEST(Handoff, GivesEachHandoffItsOwnFile) {
    const std::wstring first = Create(SystemClock(), L"one");
    const std::wstring second = Create(SystemClock(), L"two");
    EXPECT_NE(first, second);
    std::wstring token;
    std::wstring error;
    ASSERT_TRUE(ReadHandoff(second, token, error)) << WideToUtf8(error);
    EXPECT_EQ(token, L"two");
    ASSERT_TRUE(ReadHandoff(first, token, error)) << WideToUtf8(error);
    EXPECT_EQ(token, L"one");
}

}  // namespace
}  // namespace wrenpost::testing

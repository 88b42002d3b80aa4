// The encrypted token file on real DPAPI: its format, the hidden attribute, a replace that keeps
// the old file whole when it fails, and why a token cannot be read.
#include <windows.h>
// dpapi.h relies on the types windows.h declares.
#include <dpapi.h>
#include <gtest/gtest.h>

#include <cstring>

#include "common/UniqueHandle_win.h"
#include "profile/TokenFile_win.h"
#include "support/TempDir.h"

namespace wrenpost {
namespace {

using testing::ReadAllBytes;
using testing::TempDir;
using testing::WriteAllBytes;

bool IsHidden(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}

TEST(TokenFile, IsADpapiBlobOfUtf16WithOneNulAndStaysHiddenWhenReplaced) {
    TempDir dir;
    const std::filesystem::path path = dir / L"new" / L"Sales.token";
    const wchar_t plain[] = L"123:AAE\u00e9";
    ASSERT_TRUE(WriteTokenFile(path, plain));
    EXPECT_TRUE(IsHidden(path));
    std::string blob = ReadAllBytes(path);
    DATA_BLOB in{static_cast<DWORD>(blob.size()), reinterpret_cast<BYTE*>(blob.data())}, out{};
    LPWSTR description = nullptr;
    ASSERT_TRUE(CryptUnprotectData(&in, &description, nullptr, nullptr, nullptr, 0, &out));
    const UniqueLocalMemory outOwner(out.pbData), descriptionOwner(description);
    EXPECT_STREQ(description, L"Wrenpost Access Token");
    ASSERT_EQ(out.cbData, sizeof plain);
    EXPECT_EQ(std::memcmp(out.pbData, plain, sizeof plain), 0);

    ASSERT_TRUE(WriteTokenFile(path, L"456:BBF"));
    EXPECT_TRUE(IsHidden(path));
    EXPECT_EQ(ReadTokenFile(path), L"456:BBF");
}

TEST(TokenFile, UnreadableTokensComeBackEmptyWithTheReason) {
    TempDir dir;
    ASSERT_TRUE(WriteTokenFile(dir / L"good.token", L"123:ABC"));
    std::string blob = ReadAllBytes(dir / L"good.token");
    blob[blob.size() / 2] ^= 0x5A;
    WriteAllBytes(dir / L"damaged.token", blob);
    WriteAllBytes(dir / L"empty.token", "");
    for (const auto& [file, reason] : {std::pair(L"damaged.token", L"another Windows user"),
                                       std::pair(L"empty.token", L"holds no encrypted token")}) {
        std::wstring error;
        EXPECT_EQ(ReadTokenFile(dir / file, &error), L"") << file;
        EXPECT_NE(error.find(reason), std::wstring::npos) << error;
    }
}

}  // namespace
}  // namespace wrenpost

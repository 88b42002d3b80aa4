// DPAPI encryption and the hidden, atomically replaced token file.
#include "profile/TokenFile_win.h"

#include <windows.h>
// dpapi.h relies on the types windows.h declares.
#include <dpapi.h>

#include <string>

#include "common/TextFile.h"
#include "common/UniqueHandle_win.h"
#include "common/WinError_win.h"

namespace wrenpost {
namespace {

constexpr wchar_t kDescription[] = L"Wrenpost Access Token";
// An encrypted token is a few hundred bytes; anything far larger is not a token file.
constexpr std::size_t kMaxTokenFileSize = 1024 * 1024;

template <typename T>
T Fail(std::wstring* error, std::wstring text, T result) {
    if (error) {
        *error = std::move(text);
    }
    return result;
}

}  // namespace

bool WriteTokenFile(const std::filesystem::path& path, std::wstring_view token,
                    std::wstring* error) {
    std::wstring plainText(token);
    DATA_BLOB plain{static_cast<DWORD>((plainText.size() + 1) * sizeof(wchar_t)),
                    reinterpret_cast<BYTE*>(plainText.data())};
    DATA_BLOB encrypted{};
    const BOOL encryptedOk =
        CryptProtectData(&plain, kDescription, nullptr, nullptr, nullptr, 0, &encrypted);
    const DWORD code = GetLastError();
    SecureZeroMemory(plainText.data(), plainText.size() * sizeof(wchar_t));
    if (!encryptedOk) {
        return Fail(error, L"Could not encrypt the token (" + DescribeWindowsError(code) + L")",
                    false);
    }
    const UniqueLocalMemory encryptedOwner(encrypted.pbData);
    if (!WriteFileAtomically(
            path,
            std::string_view(reinterpret_cast<const char*>(encrypted.pbData), encrypted.cbData),
            error)) {
        return false;
    }
    // The replaced file carries the temporary file's attributes; the token is written, so a
    // failure to hide it is not a failure to save it.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return true;
}

std::wstring ReadTokenFile(const std::filesystem::path& path, std::wstring* error) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        return Fail(error, L"Could not read the token file " + path.wstring(), std::wstring());
    }
    if (bytes.empty() || bytes.size() > kMaxTokenFileSize) {
        return Fail(error, L"The token file " + path.wstring() + L" holds no encrypted token",
                    std::wstring());
    }
    DATA_BLOB encrypted{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
    DATA_BLOB plain{};
    if (!CryptUnprotectData(&encrypted, nullptr, nullptr, nullptr, nullptr, 0, &plain)) {
        return Fail(error,
                    L"The token file " + path.wstring() +
                        L" cannot be decrypted: it was encrypted by another Windows user or on "
                        L"another computer, or it is damaged (" +
                        DescribeWindowsError(GetLastError()) + L")",
                    std::wstring());
    }
    const UniqueLocalMemory plainOwner(plain.pbData);
    const std::wstring_view units(reinterpret_cast<const wchar_t*>(plain.pbData),
                                  plain.cbData / sizeof(wchar_t));
    std::wstring token(units.substr(0, units.find(L'\0')));
    SecureZeroMemory(plain.pbData, plain.cbData);
    if (token.empty()) {
        return Fail(error, L"The token file " + path.wstring() + L" holds an empty token",
                    std::wstring());
    }
    return token;
}

}  // namespace wrenpost

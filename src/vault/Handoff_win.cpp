// DPAPI and file handling of the token hand-off.
#include "vault/Handoff_win.h"

#include <windows.h>
// dpapi.h relies on the types windows.h declares.
#include <dpapi.h>

#include <cstring>

#include "common/UniqueHandle_win.h"
#include "vault/Handoff.h"
#include "vault/VaultStore_win.h"

namespace wrenpost {
namespace {

constexpr wchar_t kDescription[] = L"Wrenpost Vault Launch Handoff";
// A protected token is a few hundred bytes; anything far larger is not ours.
constexpr DWORD kMaxHandoffFileSize = 1024 * 1024;

bool Fail(std::wstring& error, const wchar_t* text) {
    error = text;
    return false;
}

std::filesystem::path TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return std::filesystem::path(std::wstring(buffer, length));
}

bool RemoveFile(const std::filesystem::path& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
}

}  // namespace

std::filesystem::path HandoffPath(std::wstring_view identifier) {
    if (!IsValidHandoffId(identifier)) {
        return {};
    }
    const std::filesystem::path folder = TemporaryFolder();
    return folder.empty() ? std::filesystem::path() : folder / HandoffFileName(identifier);
}

bool CreateHandoff(std::wstring_view token, std::wstring& identifier, std::wstring& error,
                   const Clock& clock) {
    const std::wstring id = NewVaultEntryId();
    const std::filesystem::path path = HandoffPath(id);

    std::wstring text = BuildHandoffText(ToUnixSeconds(clock.Now()), token);
    DATA_BLOB plain{static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                    reinterpret_cast<BYTE*>(text.data())};
    DATA_BLOB protectedBlob{};
    const BOOL protectedOk = CryptProtectData(&plain, kDescription, nullptr, nullptr, nullptr,
                                              CRYPTPROTECT_UI_FORBIDDEN, &protectedBlob);
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    if (!protectedOk) {
        return Fail(error, L"Failed to encrypt the token for handoff.");
    }
    UniqueLocalMemory protectedOwner(protectedBlob.pbData);

    // Hidden and temporary from the first moment; CREATE_NEW never reuses a file someone else
    // prepared under this name.
    UniqueFileHandle file;
    if (!path.empty()) {
        file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
    }
    if (!file) {
        return Fail(error, L"Failed to create the temporary handoff file.");
    }
    DWORD written = 0;
    const BOOL writeOk =
        WriteFile(file.get(), protectedBlob.pbData, protectedBlob.cbData, &written, nullptr);
    const BOOL closeOk = CloseHandle(file.release());
    if (!writeOk || written != protectedBlob.cbData || !closeOk) {
        RemoveFile(path);
        return Fail(error, L"Failed to write the temporary handoff file.");
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY);
    identifier = id;
    return true;
}

bool ReadHandoff(std::wstring_view identifier, std::wstring& token, std::wstring& error,
                 const Clock& clock) {
    if (!IsValidHandoffId(identifier)) {
        return Fail(error, L"Invalid handoff id.");
    }
    const std::filesystem::path path = HandoffPath(identifier);
    std::string bytes;
    {
        // Exclusive: a second reader racing this one finds the file in use, never the token.
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (path.empty() || !file) {
            return Fail(error, L"Handoff file not found or already used.");
        }
        char buffer[4096];
        DWORD got = 0;
        while (bytes.size() <= kMaxHandoffFileSize &&
               ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
            bytes.append(buffer, got);
        }
    }
    // Gone before anything is checked: a hand-off is used once, whatever it holds.
    RemoveFile(path);

    if (bytes.empty()) {
        return Fail(error, L"Handoff file was empty.");
    }
    DATA_BLOB protectedBlob{static_cast<DWORD>(bytes.size()),
                            reinterpret_cast<BYTE*>(bytes.data())};
    DATA_BLOB plain{};
    if (bytes.size() > kMaxHandoffFileSize ||
        !CryptUnprotectData(&protectedBlob, nullptr, nullptr, nullptr, nullptr,
                            CRYPTPROTECT_UI_FORBIDDEN, &plain)) {
        return Fail(error, L"Handoff file could not be decrypted.");
    }
    UniqueLocalMemory plainOwner(plain.pbData);
    std::wstring text(plain.cbData / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), plain.pbData, text.size() * sizeof(wchar_t));
    SecureZeroMemory(plain.pbData, plain.cbData);

    const HandoffTextResult result = ParseHandoffText(text, ToUnixSeconds(clock.Now()), token);
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    switch (result) {
        case HandoffTextResult::Ok:
            return true;
        case HandoffTextResult::Expired:
            return Fail(error, L"Handoff has expired.");
        case HandoffTextResult::Malformed:
            break;
    }
    return Fail(error, L"Handoff file was malformed.");
}

bool DeleteHandoff(std::wstring_view identifier) {
    const std::filesystem::path path = HandoffPath(identifier);
    return !path.empty() && RemoveFile(path);
}

}  // namespace wrenpost

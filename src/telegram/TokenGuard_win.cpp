#include "telegram/TokenGuard_win.h"

#include <bcrypt.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/Text.h"

namespace wrenpost {

std::wstring TokenMutexName(const std::wstring& token) {
    const std::string bytes = WideToUtf8(token);
    UniqueBcryptAlg algorithm;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return std::wstring();
    }
    UniqueBcryptHash hash;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0))) {
        return std::wstring();
    }
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(),
                                       reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                       static_cast<ULONG>(bytes.size()), 0))) {
        return std::wstring();
    }
    UCHAR digest[32];
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest, sizeof(digest), 0))) {
        return std::wstring();
    }
    std::wstring name = L"Global\\Wrenpost_Token_";
    for (const UCHAR byte : digest) {
        wchar_t hex[3];
        std::swprintf(hex, 3, L"%02x", byte);
        name += hex;
    }
    return name;
}

bool IsTokenHeldElsewhere(const TokenGuard& guard, const std::wstring& token) {
    const std::wstring name = TokenMutexName(token);
    if (name.empty() || name == guard.heldName) {
        return false;
    }
    UniqueHandle existing(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
    // A mutex we may not open exists all the same: another user's session holds the token.
    return static_cast<bool>(existing) || GetLastError() == ERROR_ACCESS_DENIED;
}

ClaimTokenResult ClaimToken(TokenGuard& guard, const std::wstring& token) {
    const std::wstring name = TokenMutexName(token);
    if (name.empty()) {
        return kTokenClaimFailed;
    }
    if (guard.mutex && guard.heldName == name) {
        return kTokenAlreadyHeld;
    }
    ReleaseToken(guard);
    SetLastError(ERROR_SUCCESS);
    UniqueHandle created(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!created) {
        // Denied: the mutex exists and belongs to another user's session, which holds the token.
        return GetLastError() == ERROR_ACCESS_DENIED ? kTokenHeldElsewhere : kTokenClaimFailed;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        return kTokenHeldElsewhere;  // `created` closes our handle to the other one's mutex
    }
    guard.mutex = std::move(created);
    guard.heldName = name;
    return kTokenClaimed;
}

ClaimTokenResult ClaimTokenAlongside(TokenGuard& guard, const TokenGuard& other,
                                     const std::wstring& token) {
    const std::wstring name = TokenMutexName(token);
    if (name.empty() || !other.mutex || other.heldName != name ||
        (guard.mutex && guard.heldName == name)) {
        return ClaimToken(guard, token);
    }
    ReleaseToken(guard);
    HANDLE shared = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), other.mutex.get(), GetCurrentProcess(), &shared, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
        return kTokenClaimFailed;
    }
    guard.mutex.reset(shared);
    guard.heldName = name;
    return kTokenClaimed;
}

void ReleaseToken(TokenGuard& guard) {
    guard.mutex.reset();
    guard.heldName.clear();
}

}  // namespace wrenpost

// One running instance per bot token: a named mutex per token whose mere existence tells other
// instances that the token is in use.
#pragma once

#include <string>

#include "common/UniqueHandle_win.h"

namespace wrenpost {

struct TokenGuard {
    UniqueHandle mutex;     // null when nothing is held
    std::wstring heldName;  // empty when nothing is held
};

enum ClaimTokenResult : int {
    kTokenClaimed = 0,        // or switched from another token
    kTokenAlreadyHeld = 1,    // by this guard
    kTokenHeldElsewhere = 2,  // by another instance; this guard now holds nothing
    kTokenClaimFailed = 3,
};

// "Global\Wrenpost_Token_" + lower-case hex SHA-256 of the token's UTF-8 bytes; empty when the
// hash cannot be computed.
std::wstring TokenMutexName(const std::wstring& token);

// Whether another instance holds the token (does not create anything).
bool IsTokenHeldElsewhere(const TokenGuard& guard, const std::wstring& token);

ClaimTokenResult ClaimToken(TokenGuard& guard, const std::wstring& token);

// ClaimToken for a second guard of this instance: when `other` already holds the token, `guard`
// shares that claim instead of taking it for another instance's.
ClaimTokenResult ClaimTokenAlongside(TokenGuard& guard, const TokenGuard& other,
                                     const std::wstring& token);

void ReleaseToken(TokenGuard& guard);

}  // namespace wrenpost

#include "vault/RecoveryKey.h"

namespace wrenpost {

std::wstring FormatRecoveryKey(const RecoveryKeyRandom& random) {
    std::wstring key;
    key.reserve(29);
    for (std::size_t i = 0; i < random.size(); ++i) {
        if (i > 0 && i % 4 == 0) {
            key.push_back(L'-');
        }
        key.push_back(kRecoveryKeyAlphabet[random[i] & 0x1F]);
    }
    return key;
}

std::wstring NormalizeRecoveryKey(std::wstring_view typed) {
    std::wstring key;
    key.reserve(typed.size());
    for (wchar_t c : typed) {
        if (c == L'\t' || c == L'\n' || c == L'\r' || c == L' ' || c == L'-') {
            continue;
        }
        if (c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
        key.push_back(c);
    }
    return key;
}

std::wstring FormatVaultEntryId(const VaultEntryIdRandom& random) {
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring id;
    id.reserve(random.size() * 2);
    for (const unsigned char byte : random) {
        id.push_back(kHex[byte >> 4]);
        id.push_back(kHex[byte & 0x0F]);
    }
    return id;
}

}  // namespace wrenpost

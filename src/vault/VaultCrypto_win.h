// The vault's cryptographic primitives over CNG: random bytes, the PBKDF2 key block,
// AES-256-CBC with PKCS#7 padding and HMAC-SHA-256, plus holders that wipe key material when
// they go.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "vault/VaultFile.h"

namespace wrenpost {

// What new password and recovery slots are written with.
inline constexpr unsigned long kVaultKdfIterations = 600000;

// A fixed-size secret that is zeroed when it goes out of scope.
template <std::size_t N>
struct WipedBytes {
    std::array<unsigned char, N> bytes{};

    WipedBytes() = default;
    WipedBytes(const WipedBytes&) = delete;
    WipedBytes& operator=(const WipedBytes&) = delete;
    ~WipedBytes() { SecureZeroMemory(bytes.data(), bytes.size()); }

    unsigned char* data() { return bytes.data(); }
    const unsigned char* data() const { return bytes.data(); }
};

// A secret text (a password's UTF-8, a decrypted document), zeroed when it goes.
class WipedString {
public:
    WipedString() = default;
    explicit WipedString(std::string value) : value_(std::move(value)) {}
    WipedString(const WipedString&) = delete;
    WipedString& operator=(const WipedString&) = delete;
    ~WipedString() { Wipe(); }

    std::string& get() { return value_; }
    const std::string& get() const { return value_; }
    void Wipe() {
        SecureZeroMemory(value_.data(), value_.size());
        value_.clear();
    }

private:
    std::string value_;
};

// For secret wide texts such as a normalized recovery key.
inline void WipeWide(std::wstring& text) {
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    text.clear();
}

// PBKDF2-HMAC-SHA256 output: bytes 0-31 wrap (AES-256 key), bytes 32-63 are the verifier.
struct VaultKeyBlock : WipedBytes<64> {
    const unsigned char* WrappingKey() const { return data(); }
    VaultVerifier Verifier() const;
};

using VaultMasterKey = WipedBytes<32>;
using VaultMacKey = WipedBytes<32>;

[[nodiscard]] bool VaultRandomBytes(unsigned char* out, std::size_t size);

// The secret is taken as UTF-8 without terminator.
[[nodiscard]] bool DeriveVaultKeyBlock(std::wstring_view secret, const VaultSalt& salt,
                                       unsigned long iterations, VaultKeyBlock& block);

// The count a new slot gets: kVaultKdfIterations unless a test lowered it.
unsigned long NewVaultKdfIterations();

[[nodiscard]] bool VaultHmac(const unsigned char* key, std::size_t keySize, std::string_view data,
                             VaultMac& mac);

// HMAC-SHA-256(master key, "WPVLT MAC"): the MAC is keyed apart from the encryption.
[[nodiscard]] bool DeriveVaultMacKey(const VaultMasterKey& master, VaultMacKey& macKey);

// AES-256-CBC with block padding; `key` points at 32 bytes.
[[nodiscard]] bool VaultEncrypt(const unsigned char* key, const VaultIv& iv,
                                std::string_view plaintext, std::string& ciphertext);
[[nodiscard]] bool VaultDecrypt(const unsigned char* key, const VaultIv& iv,
                                std::string_view ciphertext, WipedString& plaintext);

// Comparison whose time does not depend on where the first difference is.
[[nodiscard]] bool SameVerifier(const VaultVerifier& a, const VaultVerifier& b);
[[nodiscard]] bool SameMac(const VaultMac& a, const VaultMac& b);

// ---- test seams (never set by the program itself)

// Replaces the system RNG; an empty function restores it.
using VaultRandomSource = std::function<bool(unsigned char* out, std::size_t size)>;
void SetVaultRandomSourceForTesting(VaultRandomSource source);

// Lowers the iteration count of new slots so behaviour tests do not spend seconds per
// derivation under wine; 0 restores the real count. Files of versions 1 and 2 are always read
// with their 100,000.
void SetVaultKdfIterationsForTesting(unsigned long iterations);

}  // namespace wrenpost

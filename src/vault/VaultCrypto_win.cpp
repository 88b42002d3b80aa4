// CNG calls behind the vault: one algorithm provider per call is plenty next to hundreds of
// thousands of PBKDF2 iterations, and keeps the store free of shared state.
#include "vault/VaultCrypto_win.h"

#include <bcrypt.h>

#include <atomic>
#include <mutex>

#include "common/Text.h"
#include "common/UniqueHandle_win.h"

namespace wrenpost {
namespace {

std::mutex g_randomMutex;
VaultRandomSource g_randomSource;
std::atomic<unsigned long> g_iterations{kVaultKdfIterations};

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

bool OpenAesCbc(const unsigned char* key, UniqueBcryptAlg& alg, UniqueBcryptKey& handle) {
    if (!Succeeded(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_AES_ALGORITHM, nullptr, 0))) {
        return false;
    }
    static wchar_t chainMode[] = BCRYPT_CHAIN_MODE_CBC;
    if (!Succeeded(BCryptSetProperty(alg.get(), BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(chainMode), sizeof chainMode, 0))) {
        return false;
    }
    return Succeeded(BCryptGenerateSymmetricKey(alg.get(), handle.put(), nullptr, 0,
                                                const_cast<PUCHAR>(key), 32, 0));
}

}  // namespace

VaultVerifier VaultKeyBlock::Verifier() const {
    VaultVerifier verifier;
    std::copy_n(data() + 32, verifier.size(), verifier.begin());
    return verifier;
}

bool VaultRandomBytes(unsigned char* out, std::size_t size) {
    {
        std::lock_guard lock(g_randomMutex);
        if (g_randomSource) {
            return g_randomSource(out, size);
        }
    }
    return Succeeded(
        BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

unsigned long NewVaultKdfIterations() {
    return g_iterations.load();
}

bool DeriveVaultKeyBlock(std::wstring_view secret, const VaultSalt& salt, unsigned long iterations,
                         VaultKeyBlock& block) {
    UniqueBcryptAlg alg;
    if (!Succeeded(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_SHA256_ALGORITHM, nullptr,
                                               BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
        return false;
    }
    WipedString utf8(WideToUtf8(secret));
    unsigned char empty = 0;  // an empty secret still needs a valid pointer
    PUCHAR password = utf8.get().empty() ? &empty : reinterpret_cast<PUCHAR>(utf8.get().data());
    return Succeeded(
        BCryptDeriveKeyPBKDF2(alg.get(), password, static_cast<ULONG>(utf8.get().size()),
                              const_cast<PUCHAR>(salt.data()), static_cast<ULONG>(salt.size()),
                              iterations, block.data(), static_cast<ULONG>(block.bytes.size()), 0));
}

bool VaultEncrypt(const unsigned char* key, const VaultIv& iv, std::string_view plaintext,
                  std::string& ciphertext) {
    UniqueBcryptAlg alg;
    UniqueBcryptKey handle;
    if (!OpenAesCbc(key, alg, handle)) {
        return false;
    }
    VaultIv chain = iv;  // CNG advances the IV it is given
    std::string out((plaintext.size() / 16 + 1) * 16, '\0');
    ULONG written = 0;
    unsigned char none = 0;
    PUCHAR input =
        plaintext.empty() ? &none : reinterpret_cast<PUCHAR>(const_cast<char*>(plaintext.data()));
    if (!Succeeded(BCryptEncrypt(handle.get(), input, static_cast<ULONG>(plaintext.size()), nullptr,
                                 chain.data(), static_cast<ULONG>(chain.size()),
                                 reinterpret_cast<PUCHAR>(out.data()),
                                 static_cast<ULONG>(out.size()), &written, BCRYPT_BLOCK_PADDING)) ||
        written != out.size()) {
        return false;
    }
    ciphertext = std::move(out);
    return true;
}

bool VaultDecrypt(const unsigned char* key, const VaultIv& iv, std::string_view ciphertext,
                  WipedString& plaintext) {
    if (ciphertext.empty() || ciphertext.size() % 16 != 0) {
        return false;
    }
    UniqueBcryptAlg alg;
    UniqueBcryptKey handle;
    if (!OpenAesCbc(key, alg, handle)) {
        return false;
    }
    VaultIv chain = iv;
    WipedString out(std::string(ciphertext.size(), '\0'));
    ULONG written = 0;
    if (!Succeeded(BCryptDecrypt(
            handle.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(ciphertext.data())),
            static_cast<ULONG>(ciphertext.size()), nullptr, chain.data(),
            static_cast<ULONG>(chain.size()), reinterpret_cast<PUCHAR>(out.get().data()),
            static_cast<ULONG>(out.get().size()), &written, BCRYPT_BLOCK_PADDING)) ||
        written > out.get().size()) {
        return false;
    }
    SecureZeroMemory(out.get().data() + written, out.get().size() - written);
    out.get().resize(written);
    plaintext.Wipe();
    plaintext.get().swap(out.get());
    return true;
}

bool VaultHmac(const unsigned char* key, std::size_t keySize, std::string_view data,
               VaultMac& mac) {
    UniqueBcryptAlg alg;
    UniqueBcryptHash hash;
    unsigned char none = 0;
    PUCHAR input = data.empty() ? &none : reinterpret_cast<PUCHAR>(const_cast<char*>(data.data()));
    return Succeeded(BCryptOpenAlgorithmProvider(alg.put(), BCRYPT_SHA256_ALGORITHM, nullptr,
                                                 BCRYPT_ALG_HANDLE_HMAC_FLAG)) &&
           Succeeded(BCryptCreateHash(alg.get(), hash.put(), nullptr, 0, const_cast<PUCHAR>(key),
                                      static_cast<ULONG>(keySize), 0)) &&
           Succeeded(BCryptHashData(hash.get(), input, static_cast<ULONG>(data.size()), 0)) &&
           Succeeded(BCryptFinishHash(hash.get(), mac.data(), static_cast<ULONG>(mac.size()), 0));
}

bool DeriveVaultMacKey(const VaultMasterKey& master, VaultMacKey& macKey) {
    WipedBytes<kVaultMacSize> out;
    if (!VaultHmac(master.data(), master.bytes.size(), "WPVLT MAC", out.bytes)) {
        return false;
    }
    macKey.bytes = out.bytes;
    return true;
}

template <std::size_t N>
bool SameBytes(const std::array<unsigned char, N>& a, const std::array<unsigned char, N>& b) {
    unsigned char difference = 0;
    for (std::size_t i = 0; i < N; ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

bool SameVerifier(const VaultVerifier& a, const VaultVerifier& b) {
    return SameBytes(a, b);
}

bool SameMac(const VaultMac& a, const VaultMac& b) {
    return SameBytes(a, b);
}

void SetVaultRandomSourceForTesting(VaultRandomSource source) {
    std::lock_guard lock(g_randomMutex);
    g_randomSource = std::move(source);
}

void SetVaultKdfIterationsForTesting(unsigned long iterations) {
    g_iterations.store(iterations == 0 ? kVaultKdfIterations : iterations);
}

}  // namespace wrenpost

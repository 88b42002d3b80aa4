// Fuzzes the vault document reader: any bytes must be read in linear time without a crash, and
// whatever it accepts must survive being written and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vault/VaultDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<wrenpost::VaultEntry> entries;
    wrenpost::VaultSecrets secrets;
    if (!wrenpost::ReadVaultDocument(input, entries, secrets)) {
        return 0;
    }
    for (const auto& entry : entries) {
        if (entry.token.empty()) {
            std::abort();
        }
    }
    std::vector<wrenpost::VaultEntry> again;
    wrenpost::VaultSecrets againSecrets;
    if (!wrenpost::ReadVaultDocument(wrenpost::WriteVaultDocument(entries, &secrets), again,
                                     againSecrets) ||
        again != entries || againSecrets != secrets) {
        std::abort();
    }
    return 0;
}

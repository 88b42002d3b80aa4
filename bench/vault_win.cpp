// Times unlocking (one derivation at the real count) and saving (none: the unlock's keys are
// held) a full 30-entry vault, next to one bare PBKDF2 derivation and the document work alone,
// to show where the time goes.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "vault/VaultCrypto_win.h"
#include "vault/VaultDocument.h"
#include "vault/VaultStore_win.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Action>
double MillisecondsPerRun(int runs, Action action) {
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i) {
        if (!action()) {
            std::fprintf(stderr, "benchmark step failed\n");
            std::exit(1);
        }
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / runs;
}

}  // namespace

int main() {
    using namespace wrenpost;
    testing::TempDir dir;
    SetVaultFolderProvider([&dir] { return dir.Path(); });

    std::vector<VaultEntry> entries;
    for (int i = 0; i < 30; ++i) {
        entries.push_back({NewVaultEntryId(),
                           std::to_wstring(1000000000 + i) + L":AAHdqTcvCH1vGWJxfSeofSAs0K5PALDsaw",
                           L"Bot number " + std::to_wstring(i), L"@bot_" + std::to_wstring(i),
                           std::wstring(200, L'n')});
    }
    const std::wstring password = L"benchmark password";
    std::wstring key;
    std::wstring error;
    VaultKeys keys;
    if (CreateVault(password, key, keys, error) != VaultCreateResult::Created ||
        !SaveVault(keys, entries, error)) {
        std::fprintf(stderr, "setup failed: %ls\n", error.c_str());
        return 1;
    }

    const int runs = 5;
    const double unlock = MillisecondsPerRun(runs, [&] {
        VaultKeys opened;
        std::vector<VaultEntry> read;
        return UnlockVault(password, opened, read, error) && read.size() == 30;
    });
    const double save = MillisecondsPerRun(runs, [&] { return SaveVault(keys, entries, error); });
    const double derive = MillisecondsPerRun(runs, [&] {
        VaultKeyBlock block;
        return DeriveVaultKeyBlock(password, VaultSalt{}, kVaultKdfIterations, block);
    });
    const VaultSecrets none;
    const double document = MillisecondsPerRun(1000, [&] {
        std::vector<VaultEntry> read;
        VaultSecrets secrets;
        return ReadVaultDocument(WriteVaultDocument(entries, &none), read, secrets);
    });

    std::printf("vault of 30 entries (%zu bytes on disk), %d runs each\n",
                static_cast<std::size_t>(std::filesystem::file_size(VaultPath())), runs);
    std::printf("  UnlockVault:               %8.1f ms\n", unlock);
    std::printf("  SaveVault (held keys):     %8.1f ms\n", save);
    std::printf("  one PBKDF2 derivation:     %8.1f ms (%lu iterations)\n", derive,
                kVaultKdfIterations);
    std::printf("  document write + read:     %8.3f ms\n", document);
    return 0;
}

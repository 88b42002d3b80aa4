// The keys an unlocked vault is held open with: derived once at unlock and kept (wiped when they
// go) for the window's life, so a save never runs the KDF again.
#pragma once

#include "vault/VaultCrypto_win.h"
#include "vault/VaultFile.h"

namespace wrenpost {

struct VaultKeys {
    VaultKeys() = default;
    VaultKeys(const VaultKeys&) = delete;
    VaultKeys& operator=(const VaultKeys&) = delete;

    VaultMasterKey master;  // encrypts the document of a version 3 file
    VaultMacKey macKey;

    // Set while the file is still of an earlier version: the key its document is encrypted with,
    // the password verifier it was unlocked with, and the version 3 slots its upgrade writes.
    bool legacy = false;
    VaultVersion legacyVersion = VaultVersion::V2;
    WipedBytes<32> legacyDataKey;
    VaultVerifier legacyVerifier{};
    VaultHeader upgrade;
};

}  // namespace wrenpost

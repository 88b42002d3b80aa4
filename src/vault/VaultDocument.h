// The plaintext inside TokenVault.dat: the stored bot tokens and the opaque secrets map, as a
// JSON document without white space. Written field by field and read back by a linear scanner,
// never by a general JSON parser.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace wrenpost {

struct VaultEntry {
    std::wstring id;           // 16 upper-case hex digits, fixed when the entry is added
    std::wstring token;        // the bot token
    std::wstring botName;      // the bot's first name as getMe reports it
    std::wstring botUsername;  // "@" + the bot's username
    std::wstring notes;        // free text

    bool operator==(const VaultEntry&) const = default;
};

// Carried through every rewrite of a version 2 vault unchanged; this program never adds to it.
using VaultSecrets = std::map<std::wstring, std::wstring>;

// {"entries":[...]} when `secrets` is null (version 1), {"entries":[...],"secrets":{...}}
// otherwise. UTF-8, no white space.
std::string WriteVaultDocument(const std::vector<VaultEntry>& entries, const VaultSecrets* secrets);

// Reads the entries (skipping those with an empty token) and the secrets, if any. Fails when the
// text is not strictly valid UTF-8, is not one whole object, or has no "entries" array: the
// format has no integrity check, and a damaged document mistaken for a shorter one would make
// the loss final at the next save.
[[nodiscard]] bool ReadVaultDocument(std::string_view utf8, std::vector<VaultEntry>& entries,
                                     VaultSecrets& secrets);

}  // namespace wrenpost

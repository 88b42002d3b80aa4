// The vault store under real CNG: what each operation does to TokenVault.dat, which text each
// failure gives, and that no failure ever changes the file.
#include <gtest/gtest.h>

#include <set>

#include "VaultTestSupport.h"
#include "app/AppPaths_win.h"
#include "vault/RecoveryKey.h"

namespace wrenpost::testing {
namespace {

const std::wstring kPassword = L"first password";

class VaultStore : public VaultTest {
protected:
    // Saving, changing the password and recovery all fail on the present file with `text`
    // (recovery with `recoverText` when given) and leave its bytes as they were.
    void ExpectEveryChangeRefused(const std::wstring& text, const std::wstring& key = L"key",
                                  const std::wstring& recoverText = L"") {
        const std::string before = FileBytes();
        std::wstring error;
        EXPECT_EQ(OpenError(kPassword), text);
        EXPECT_FALSE(SaveVault(kPassword, {}, error));
        EXPECT_EQ(error, text);
        EXPECT_FALSE(ChangeVaultPassword(kPassword, L"x", error));
        EXPECT_EQ(error, text);
        EXPECT_FALSE(RecoverVaultPassword(key, L"x", error));
        EXPECT_EQ(error, recoverText.empty() ? text : recoverText);
        EXPECT_EQ(FileBytes(), before);
    }
};

void PatchLength(std::string& file, std::size_t at, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) {
        file[at + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
}

std::set<std::filesystem::path> FolderListing(const std::filesystem::path& folder) {
    std::set<std::filesystem::path> names;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        names.insert(item.path().filename());
    }
    return names;
}

TEST_F(VaultStore, CreatesOpensSavesAndOpensAgain) {
    EXPECT_FALSE(VaultExists());
    EXPECT_FALSE(IsVaultV2());
    std::wstring key;
    std::wstring error;
    ASSERT_TRUE(CreateVault(kPassword, key, error)) << WideToUtf8(error);
    EXPECT_TRUE(VaultExists());
    EXPECT_TRUE(IsVaultV2());
    EXPECT_EQ(VaultPath(), dir_.Path() / L"AppData" / L"TokenVault.dat");
    ASSERT_EQ(key.size(), 29u);
    EXPECT_EQ(NormalizeRecoveryKey(key).find_first_not_of(kRecoveryKeyAlphabet),
              std::wstring::npos);
    EXPECT_TRUE(VerifyVaultPassword(kPassword));
    EXPECT_TRUE(OpenOk(kPassword).empty());

    std::vector<VaultEntry> entries = SampleEntries();
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
    EXPECT_EQ(OpenOk(kPassword), entries);

    std::swap(entries[0], entries[1]);
    entries.push_back({NewVaultEntryId(), L"333:CCC", L"Third", L"@third", L"x"});
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
    EXPECT_EQ(OpenOk(kPassword), entries);
    EXPECT_TRUE(IsVaultV2());
}

TEST_F(VaultStore, EachSaveUsesAFreshDataIvAndKeepsTheKeyFields) {
    CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, SampleEntries(), error));
    const std::string after = FileBytes();
    EXPECT_EQ(after.substr(0, 264), before.substr(0, 264));
    EXPECT_NE(after.substr(264, 16), before.substr(264, 16));
    EXPECT_NE(after.substr(284), before.substr(284));
}

TEST_F(VaultStore, PasswordChangeKeepsTheRecoveryKeyAndTheEntries) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    std::wstring error;
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"second", error)) << WideToUtf8(error);
    const std::string after = FileBytes();
    // Only the four password fields change; recovery fields, data IV and ciphertext stay.
    EXPECT_NE(after.substr(8, 128), before.substr(8, 128));
    EXPECT_EQ(after.substr(136), before.substr(136));
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_EQ(OpenOk(L"second"), SampleEntries());

    ASSERT_TRUE(RecoverVaultPassword(key, L"third", error)) << WideToUtf8(error);
    EXPECT_EQ(OpenOk(L"third"), SampleEntries());
}

TEST_F(VaultStore, RecoveryReplacesThePasswordAndTheKeyStaysValid) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    std::wstring error;
    ASSERT_TRUE(RecoverVaultPassword(key, L"recovered", error)) << WideToUtf8(error);
    EXPECT_EQ(OpenError(kPassword), L"Invalid vault password.");
    EXPECT_EQ(OpenOk(L"recovered"), SampleEntries());
    ASSERT_TRUE(RecoverVaultPassword(key, L"again", error)) << WideToUtf8(error);
    EXPECT_FALSE(VerifyVaultPassword(L"recovered"));
    EXPECT_EQ(OpenOk(L"again"), SampleEntries());
}

TEST_F(VaultStore, AcceptsTheRecoveryKeyInLowerCaseWithoutDashesOrWithSpaces) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    std::wstring lower = key;
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(towlower(c));
    }
    std::wstring noDashes;
    std::wstring spaced = L"  ";
    for (const wchar_t c : key) {
        if (c != L'-') {
            noDashes.push_back(c);
        }
        spaced += c == L'-' ? std::wstring(L" \t ") : std::wstring(1, c);
    }
    spaced += L"\r\n";
    int round = 0;
    for (const std::wstring& typed : {lower, noDashes, spaced}) {
        const std::wstring password = L"new " + std::to_wstring(++round);
        std::wstring error;
        ASSERT_TRUE(RecoverVaultPassword(typed, password, error))
            << WideToUtf8(typed) << ": " << WideToUtf8(error);
        EXPECT_EQ(OpenOk(password), SampleEntries());
    }
}

TEST_F(VaultStore, WrongPasswordsAndKeysLeaveTheFileByteIdentical) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    std::wstring error;

    EXPECT_EQ(OpenError(L"wrong"), L"Invalid vault password.");
    EXPECT_FALSE(VerifyVaultPassword(L"wrong"));
    EXPECT_FALSE(VerifyVaultPassword(L""));
    EXPECT_FALSE(SaveVault(L"wrong", {}, error));
    EXPECT_EQ(error, L"Invalid vault password.");
    EXPECT_FALSE(ChangeVaultPassword(L"wrong", L"new", error));
    EXPECT_EQ(error, L"The old password is incorrect.");
    std::wstring badKey = key;
    badKey[0] = badKey[0] == L'2' ? L'3' : L'2';
    EXPECT_FALSE(RecoverVaultPassword(badKey, L"new", error));
    EXPECT_EQ(error, L"Invalid recovery key.");
    EXPECT_FALSE(RecoverVaultPassword(L"", L"new", error));
    EXPECT_EQ(error, L"Invalid recovery key.");
    EXPECT_FALSE(RecoverVaultPassword(kPassword, L"new", error));
    EXPECT_EQ(error, L"Invalid recovery key.");

    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
}

TEST_F(VaultStore, KeepsNotesWithQuotesBackslashesLineBreaksAndTabs) {
    std::vector<VaultEntry> entries = SampleEntries();
    entries[0].notes = L"say \"hi\"\\ C:\\path\\ \r\nnext line\n\ttabbed \u00e9\u0418\U0001F600 }]";
    entries[1].botName = L"\"\\\"";
    entries[1].notes = L"\\";
    CreateWith(kPassword, entries);
    EXPECT_EQ(OpenOk(kPassword), entries);
}

TEST_F(VaultStore, DropsAnEntryWithAnEmptyTokenOnTheNextOpen) {
    std::vector<VaultEntry> entries = SampleEntries();
    entries.insert(entries.begin() + 1, VaultEntry{L"00112233445566CC", L"", L"Gone", L"@g", L""});
    CreateWith(kPassword, entries);
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
}

TEST_F(VaultStore, ReportsMissingAndForeignFiles) {
    std::wstring error;
    std::vector<VaultEntry> entries;
    EXPECT_EQ(OpenError(kPassword), L"Cannot open vault file.");
    EXPECT_FALSE(SaveVault(kPassword, {}, error));
    EXPECT_EQ(error, L"Vault file not found.");
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"x", error));
    EXPECT_EQ(error, L"Cannot open vault file.");
    EXPECT_FALSE(RecoverVaultPassword(L"key", L"x", error));
    EXPECT_EQ(error, L"Cannot open vault file.");
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_FALSE(VaultExists());

    for (const std::string& foreign :
         {std::string("WPVLT00"), std::string("WPVLT003") + std::string(400, '\0'),
          std::string()}) {
        SetFileBytes(foreign);
        EXPECT_TRUE(VaultExists());
        EXPECT_FALSE(IsVaultV2());
        ExpectEveryChangeRefused(L"Invalid vault file format.", L"key",
                                 L"This vault does not have a recovery key configured.");
    }
}

TEST_F(VaultStore, ReportsATruncatedHeaderAsCorrupt) {
    CreateWith(kPassword, SampleEntries());
    const std::string whole = FileBytes();
    for (const std::size_t size : {std::size_t{8}, std::size_t{100}, std::size_t{283}}) {
        SetFileBytes(whole.substr(0, size));
        EXPECT_FALSE(VerifyVaultPassword(kPassword)) << size;
        ExpectEveryChangeRefused(L"Vault file appears corrupt.");
    }
}

TEST_F(VaultStore, ReportsBadCiphertextLengthsAsCorrupt) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string whole = FileBytes();
    for (const std::uint32_t length : {0u, kMaxVaultCiphertextSize + 1, 0xFFFFFFFFu,
                                       static_cast<std::uint32_t>(whole.size() - 284 + 16)}) {
        std::string damaged = whole;
        PatchLength(damaged, 280, length);
        SetFileBytes(damaged);
        SCOPED_TRACE(length);
        ExpectEveryChangeRefused(L"Vault file appears corrupt.", key);
    }
}

TEST_F(VaultStore, ReportsDamagedKeysAndData) {
    CreateWith(kPassword, SampleEntries());
    const std::string whole = FileBytes();

    std::string badWrap = whole;
    // Flips the last padding byte of the password-wrapped master key (CBC: a ciphertext byte
    // flips the same byte of the next block's plaintext).
    badWrap[88 + 31] ^= 0x5A;
    SetFileBytes(badWrap);
    EXPECT_EQ(OpenError(kPassword), L"Failed to unwrap vault key.");
    std::wstring error;
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"x", error));
    EXPECT_EQ(error, L"Failed to unwrap vault key.");

    std::string badData = whole;
    badData[badData.size() - 17] ^= 0x5A;  // the document's last padding byte
    SetFileBytes(badData);
    EXPECT_EQ(OpenError(kPassword), L"Failed to decrypt vault data.");
    EXPECT_FALSE(SaveVault(kPassword, SampleEntries(), error));
    EXPECT_EQ(error, L"Failed to decrypt vault data.");
    EXPECT_EQ(FileBytes(), badData);
}

TEST_F(VaultStore, ReportsADocumentThatCannotBeParsed) {
    VaultMasterKey master;
    master.bytes = Pattern<32>(3);
    SetFileBytes(BuildSecondVersionVault(kPassword, L"KEY", master, "{\"entries\":[{\"token\""));
    EXPECT_EQ(OpenError(kPassword), L"Failed to parse vault data.");
    std::wstring error;
    EXPECT_FALSE(SaveVault(kPassword, SampleEntries(), error));
    EXPECT_EQ(error, L"Failed to parse vault data.");
}

TEST_F(VaultStore, KeepsSecretsThroughSavesPasswordChangesAndRecovery) {
    VaultMasterKey master;
    master.bytes = Pattern<32>(9);
    const VaultSecrets secrets{{L"alpha", L"one \"1\""}, {L"\u0411", L"line\nbreak"}};
    SetFileBytes(BuildSecondVersionVault(kPassword, L"abcd-efgh", master,
                                         WriteVaultDocument(SampleEntries(), &secrets)));
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());

    std::vector<VaultEntry> changed = {SampleEntries()[1]};
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, changed, error)) << WideToUtf8(error);
    EXPECT_EQ(DecryptSecondVersionDocument(FileBytes(), master),
              WriteVaultDocument(changed, &secrets));

    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"other", error)) << WideToUtf8(error);
    ASSERT_TRUE(RecoverVaultPassword(L"ABCDEFGH", L"third", error)) << WideToUtf8(error);
    EXPECT_EQ(DecryptSecondVersionDocument(FileBytes(), master),
              WriteVaultDocument(changed, &secrets));
    EXPECT_EQ(OpenOk(L"third"), changed);
}

TEST_F(VaultStore, AFailedWriteKeepsTheOldFileOrLeavesNone) {
    std::wstring newKey;
    std::wstring error;
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(CreateVault(kPassword, newKey, error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    EXPECT_FALSE(VaultExists());
    EXPECT_TRUE(std::filesystem::is_empty(VaultPath().parent_path()));

    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    const auto listing = FolderListing(VaultPath().parent_path());

    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(SaveVault(kPassword, {}, error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"new", error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(RecoverVaultPassword(key, L"new", error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    FailNextAtomicWritesForTesting(1);
    EXPECT_FALSE(CreateVault(L"replacement", newKey, error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    EXPECT_TRUE(newKey.empty());

    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(FolderListing(VaultPath().parent_path()), listing);
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
}

TEST_F(VaultStore, NamesTheRandomSourceThatFailedDuringCreation) {
    // Draws in order: master key, password salt, password IV, recovery key, recovery salt,
    // recovery IV, data IV.
    for (int failing = 1; failing <= 7; ++failing) {
        const std::wstring text = failing == 1   ? L"Failed to generate master key."
                                  : failing == 7 ? L"Failed to generate IV."
                                                 : L"Failed to generate random bytes.";
        int call = 0;
        SetVaultRandomSourceForTesting(
            [&call, failing = failing](unsigned char* out, std::size_t size) {
                std::fill_n(out, size, static_cast<unsigned char>(call));
                return ++call != failing;
            });
        std::wstring key;
        std::wstring error;
        EXPECT_FALSE(CreateVault(kPassword, key, error)) << failing;
        EXPECT_EQ(error, text) << failing;
        EXPECT_FALSE(VaultExists());
    }
}

TEST_F(VaultStore, NamesTheRandomSourceThatFailedWhenRewriting) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    SetVaultRandomSourceForTesting([](unsigned char*, std::size_t) { return false; });
    std::wstring error;
    EXPECT_FALSE(SaveVault(kPassword, {}, error));
    EXPECT_EQ(error, L"Failed to generate IV.");
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"new", error));
    EXPECT_EQ(error, L"Failed to generate random bytes.");
    EXPECT_FALSE(RecoverVaultPassword(key, L"new", error));
    EXPECT_EQ(error, L"Failed to generate random bytes.");
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(NewVaultEntryId().size(), 16u);  // entry ids never come out empty, even then
}

TEST_F(VaultStore, MakesDistinctUpperCaseHexEntryIds) {
    std::set<std::wstring> ids;
    for (int i = 0; i < 200; ++i) {
        const std::wstring id = NewVaultEntryId();
        ASSERT_EQ(id.size(), 16u);
        EXPECT_EQ(id.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos) << WideToUtf8(id);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 200u);
}

TEST_F(VaultStore, CreatesTheApplicationDataFolderForThePath) {
    SetVaultFolderProvider([this] { return dir_.Path() / L"deep" / L"\u0418\u0432\u0430\u043d"; });
    const std::filesystem::path path = VaultPath();
    EXPECT_EQ(path.filename(), L"TokenVault.dat");
    EXPECT_TRUE(std::filesystem::is_directory(path.parent_path()));
    std::wstring key;
    std::wstring error;
    ASSERT_TRUE(CreateVault(kPassword, key, error)) << WideToUtf8(error);
    EXPECT_TRUE(std::filesystem::exists(path));

    SetVaultFolderProvider([] { return std::filesystem::path(); });
    EXPECT_TRUE(VaultPath().empty());
    EXPECT_FALSE(VaultExists());
    EXPECT_FALSE(CreateVault(kPassword, key, error));
    EXPECT_EQ(error, L"Failed to write vault file.");

    SetVaultFolderProvider(nullptr);
    ASSERT_FALSE(AppDataFolder().empty());
    EXPECT_EQ(VaultPath(), AppDataFolder() / L"TokenVault.dat");
}

}  // namespace
}  // namespace wrenpost::testing

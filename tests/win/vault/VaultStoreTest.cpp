// The vault store under real CNG: what each operation does to TokenVault.dat, which text each
// failure gives, and that no failure or damage ever changes the file or reads as another vault.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>

#include "common/Text.h"
#include "support/TempDir.h"
#include "vault/VaultCrypto_win.h"
#include "vault/VaultDocument.h"
#include "vault/VaultFile.h"
#include "vault/VaultSealing_win.h"
#include "vault/VaultStore_win.h"

namespace wrenpost::testing {
namespace {

const std::wstring kPassword = L"first password";
const std::wstring kNoRecoveryKey = L"This vault does not have a recovery key configured.";
const std::wstring kWrong = L"Invalid vault password.";
const std::wstring kDamaged = L"The vault file is damaged.";

// Awkward text on purpose: every save and open below carries it.
const std::vector<VaultEntry> kEntries = {
    {L"00112233445566AA", L"111:AAA", L"First \"Bot\"", L"@first_bot",
     L"say \"hi\"\\ C:\\path\\ \r\nnext\n\ttab \u00e9\U0001F600 }]"},
    {L"00112233445566BB", L"222:BBB", L"Second \u0411\u043e\u0442", L"@b", L"\\"}};

class VaultStore : public ::testing::Test {
protected:
    void SetUp() override {
        SetVaultFolderProvider([this] { return dir_.Path(); });
        SetVaultKdfIterationsForTesting(1000);  // wine's PBKDF2 takes ~1 s per 100,000
    }
    void TearDown() override {
        SetVaultFolderProvider(nullptr);
        SetVaultKdfIterationsForTesting(0);
        SetVaultRandomSourceForTesting(nullptr);
    }

    // Every draw continues 0, 1, 2, ... (mod 256), so a new vault's master key is 0 ... 31.
    void UseCountingRandom() {
        SetVaultRandomSourceForTesting([this](unsigned char* out, std::size_t size) {
            std::generate_n(out, size, [this] { return static_cast<unsigned char>(next_++); });
            return true;
        });
    }

    std::string FileBytes() const { return ReadAllBytes(VaultPath()); }
    void SetFileBytes(const std::string& bytes) const { WriteAllBytes(VaultPath(), bytes); }

    // A fresh vault with `entries`, held open by keys_; returns its recovery key.
    std::wstring CreateWith(const std::wstring& password, const std::vector<VaultEntry>& entries) {
        std::wstring key, error;
        EXPECT_EQ(CreateVault(password, key, keys_, error), VaultCreateResult::Created);
        EXPECT_TRUE(SaveVault(keys_, entries, error)) << WideToUtf8(error);
        return key;
    }

    std::vector<VaultEntry> OpenOk(const std::wstring& password) {
        std::vector<VaultEntry> entries;
        std::wstring error;
        EXPECT_TRUE(UnlockVault(password, keys_, entries, error)) << WideToUtf8(error);
        return entries;
    }

    // Unlock, a save with keys of another vault, password change and recovery (with `key`) fail
    // on the present file with `texts` in that order and leave its bytes as they were.
    void ExpectRefused(const std::wstring& password, const std::wstring& key,
                       const std::array<std::wstring, 4>& texts) {
        const std::string before = FileBytes();
        std::vector<VaultEntry> entries;
        std::array<std::wstring, 4> errors;
        VaultKeys opened, foreign;
        EXPECT_FALSE(UnlockVault(password, opened, entries, errors[0]));
        EXPECT_FALSE(SaveVault(foreign, {}, errors[1]));
        EXPECT_FALSE(ChangeVaultPassword(password, L"x", opened, errors[2]));
        EXPECT_FALSE(RecoverVaultPassword(key, L"x", opened, errors[3]));
        EXPECT_EQ(errors, texts);
        EXPECT_EQ(FileBytes(), before);
    }

    TempDir dir_;
    VaultKeys keys_;
    unsigned next_ = 0;
};

// The created file (made under UseCountingRandom) sealed again around `document`.
std::string WithDocument(const std::string& file, std::string_view document) {
    VaultHeader header;
    EXPECT_TRUE(ParseVaultHeader(file, header));
    VaultKeys keys;
    std::iota(keys.master.bytes.begin(), keys.master.bytes.end(), 0);
    EXPECT_TRUE(DeriveVaultMacKey(keys.master, keys.macKey));
    std::string sealed;
    std::wstring error;
    EXPECT_TRUE(SealVaultFile(header, keys, document, sealed, error));
    return sealed;
}

// Secrets planted in the document ride along unseen through every operation.
TEST_F(VaultStore, SavesChangesThePasswordAndRecoversKeepingSecrets) {
    UseCountingRandom();
    const std::wstring key = CreateWith(kPassword, {});
    EXPECT_TRUE(VaultHasRecoveryKey());
    const VaultSecrets secrets{{L"alpha", L"one \"1\""}, {L"\u0411", L"line\nbreak"}};
    SetFileBytes(WithDocument(FileBytes(), WriteVaultDocument(kEntries, &secrets)));
    EXPECT_EQ(OpenOk(kPassword), kEntries);
    // An entry without a token is gone at the next open; a password change keeps the entries
    // and the held keys go on saving.
    const std::vector<VaultEntry> written = {
        kEntries[1], {L"CC", L"", L"Gone", L"@g", L""}, kEntries[0]};
    std::wstring error;
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"second", keys_, error)) << WideToUtf8(error);
    ASSERT_TRUE(SaveVault(keys_, written, error)) << WideToUtf8(error);
    const std::vector<VaultEntry> entries = {kEntries[1], kEntries[0]};
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_EQ(OpenOk(L"second"), entries);
    // The recovery key (typed loosely as the unit tests allow) replaces the password and keeps
    // working.
    for (const wchar_t* password : {L"third", L"fourth"}) {
        ASSERT_TRUE(RecoverVaultPassword(L" " + key + L"\n", password, keys_, error))
            << WideToUtf8(error);
        EXPECT_FALSE(VerifyVaultPassword(L"second"));
        EXPECT_EQ(OpenOk(password), entries);
    }
    EXPECT_FALSE(VerifyVaultPassword(L"third"));
    // The file is exactly the saved document with the secrets, under the unchanged master key.
    const std::string file = FileBytes();
    VaultHeader header;
    ASSERT_TRUE(ParseVaultHeader(file, header));
    next_ = header.dataIv[0];  // the sealing draws the same data IV again
    EXPECT_EQ(file, WithDocument(file, WriteVaultDocument(written, &secrets)));
}

TEST_F(VaultStore, RefusesMissingForeignAndDamagedFilesAndWrongSecrets) {
    EXPECT_FALSE(VaultExists());
    const std::wstring cannot = L"Cannot open vault file.";
    ExpectRefused(kPassword, L"key", {cannot, L"Vault file not found.", cannot, cannot});
    const std::wstring format = L"Invalid vault file format.";
    SetFileBytes("WPVLT009" + std::string(400, 0));
    EXPECT_FALSE(VaultHasRecoveryKey());
    ExpectRefused(kPassword, L"key", {format, format, format, kNoRecoveryKey});
    std::wstring error;
    // A creation never replaces a file, not even a foreign one.
    EXPECT_EQ(CreateVault(kPassword, error, keys_, error), VaultCreateResult::Exists);
    std::filesystem::remove(VaultPath());
    const std::wstring key = CreateWith(kPassword, kEntries);
    std::wstring badKey = key;
    badKey[0] = badKey[0] == L'2' ? L'3' : L'2';
    for (const std::wstring& typed : {badKey, std::wstring(), kPassword}) {
        ExpectRefused(
            L"wrong", typed,
            {kWrong, kDamaged, L"The old password is incorrect.", L"Invalid recovery key."});
    }
}

// The MAC covers the header and the ciphertext: every single-bit change in the data IV, the
// first ciphertext block or the MAC itself is refused as damage before anything is decrypted,
// by the unlock and by a save with held keys; any other change or cut never opens either.
TEST_F(VaultStore, EveryDamagedOrCutFileIsRefused) {
    SetVaultKdfIterationsForTesting(1);
    CreateWith(kPassword, {kEntries[0]});
    const std::string whole = FileBytes();
    const std::size_t macAt = whole.size() - kVaultMacSize;
    for (const std::size_t start : {std::size_t{272}, kVaultHeaderSizeV3, macAt}) {
        for (std::size_t bit = 0; bit < 16 * 8 + (start == macAt ? 16 * 8 : 0); ++bit) {
            std::string flipped = whole;
            flipped[start + bit / 8] = static_cast<char>(flipped[start + bit / 8] ^ (1 << bit % 8));
            SetFileBytes(flipped);
            std::vector<VaultEntry> entries;
            std::wstring opened, saved;
            VaultKeys keys;
            EXPECT_FALSE(UnlockVault(kPassword, keys, entries, opened));
            EXPECT_FALSE(SaveVault(keys_, {}, saved));
            EXPECT_EQ(opened, kDamaged) << start << " bit " << bit;
            EXPECT_EQ(saved, kDamaged) << start << " bit " << bit;
            EXPECT_EQ(FileBytes(), flipped);
        }
    }
    for (std::size_t i = 0; i < whole.size(); ++i) {
        std::string flipped = whole;
        flipped[i] = static_cast<char>(~flipped[i]);
        for (const std::string& damaged : {flipped, whole.substr(0, i)}) {
            SetFileBytes(damaged);
            std::vector<VaultEntry> entries;
            std::wstring error;
            VaultKeys keys;
            EXPECT_FALSE(UnlockVault(kPassword, keys, entries, error)) << i;
        }
    }
}

// Files written by the two earlier versions (tests/win/vault/fixtures, 100,000 iterations) open,
// become version 3 at the next save with the old file kept as the backup, and keep or lack
// their recovery key; the next password change removes the backup.
TEST_F(VaultStore, EarlierVersionsOpenAndUpgradeAtTheNextSave) {
    const std::vector<VaultEntry> fixtureEntries = {
        {L"00112233445566AA", L"111:AAA", L"First \"Bot\"", L"@first_bot",
         L"note \u00e9\U0001F600"},
        {L"00112233445566BB", L"222:BBB", L"Second \u0411\u043e\u0442", L"@b", L"\\"}};
    const struct {
        const char* file;
        const wchar_t* password;
        bool recoverable;
    } cases[] = {{"TokenVault-v1.dat", L"version one password", false},
                 {"TokenVault-v2.dat", L"version two password", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string old =
            ReadAllBytes(std::string(WRENPOST_SOURCE_DIR) + "/tests/win/vault/fixtures/" + c.file);
        SetFileBytes(old);
        EXPECT_EQ(OpenOk(c.password), fixtureEntries);
        std::wstring error;
        ASSERT_TRUE(SaveVault(keys_, {fixtureEntries[1]}, error)) << WideToUtf8(error);
        EXPECT_EQ(VaultVersionOf(FileBytes()), VaultVersion::V3);
        EXPECT_EQ(ReadAllBytes(VaultBackupPath()), old);
        EXPECT_EQ(OpenOk(c.password), std::vector<VaultEntry>{fixtureEntries[1]});
        EXPECT_EQ(VaultHasRecoveryKey(), c.recoverable);
        const bool recovered =
            RecoverVaultPassword(L"JKLM-NPQR-STUV-WXYZ-2345-6789", L"after recovery", keys_, error);
        EXPECT_EQ(recovered, c.recoverable) << WideToUtf8(error);
        const std::wstring& now = recovered ? L"after recovery" : c.password;
        EXPECT_EQ(std::filesystem::exists(VaultBackupPath()), !recovered);
        ASSERT_TRUE(ChangeVaultPassword(now, L"after change", keys_, error)) << WideToUtf8(error);
        EXPECT_FALSE(std::filesystem::exists(VaultBackupPath()));
        EXPECT_EQ(OpenOk(L"after change"), std::vector<VaultEntry>{fixtureEntries[1]});
    }
}

// With counting random bytes and the real 600,000 PBKDF2 iterations, creating and saving a
// vault gives exactly the bytes computed without any of this program's code by
// known_answer_vault.py (Python's hashlib and hmac, the openssl tool for AES-256-CBC); the same
// bytes are the test vector of docs/vault.md.
TEST_F(VaultStore, CreateAndSaveGiveTheIndependentlyComputedBytes) {
    const char kSavedHex[] =  // 500 bytes
        "5750564C54303033C0270900C0270900202122232425262728292A2B2C2D2E2F"
        "303132333435363738393A3B3C3D3E3F404142434445464748494A4B4C4D4E4F"
        "BBEAF07BCC1BF2312EAA447C60A1D6A0B239DD8656657DD7D4F068FF71896CA0"
        "7508A85D2893F30235FFBD4B6C17242892ADD5AFC80DB2667AB924C43BEF598F"
        "B3957ED52F4EBCC2D45E448C583B14D668696A6B6C6D6E6F7071727374757677"
        "78797A7B7C7D7E7F808182838485868788898A8B8C8D8E8F9091929394959697"
        "5F29E532537868EDFD31C7FB6B08170D48ABB568B64E781889D07D1B3204C96F"
        "0048555B34619C4CA40B6EA851ACEE4C39A11CD1219639C62F069C2867174C48"
        "05208C0658331128E706F614F27B8887A8A9AAABACADAEAFB0B1B2B3B4B5B6B7"
        "B00000001717DE6F83A8158DE98F61A5D83CCD04C9C4331878EAF093733149BB"
        "9881B3118AD581F59CD94BD8E7CB553EC913C2B5CD183186A80A015AEBF96187"
        "42AB582C6B2282B2CA309E7E02943C3662AD9E3CCB7FADE8D6E3DB34E7ADB31A"
        "E8046C90F36AFED472FB3E344FE5AEDB7A2AC4D86EBED39EE3B4CB652E7BEC40"
        "D2C895F469D22FD772412963C1C163F9A0235A8E4F3C4712E07045F87A2C0708"
        "361EBAA1571427FFEE7E28C72145965278A9D6FB309234DB9FEEE7C548528604"
        "7C3FB4474D04D8C2881E9934CD46DC7558720730";
    SetVaultKdfIterationsForTesting(0);
    UseCountingRandom();
    const std::wstring password = L"P\u00e4ssw\u00f6rd \u2713";
    const std::vector<VaultEntry> entries = {{L"0011223344556677", L"123456:AAbbCC",
                                              L"\u0411\u043e\u0442 \"\U0001F916\"", L"@alpha_bot",
                                              L"line\ttab \\ back\r\n"}};
    EXPECT_EQ(CreateWith(password, entries), L"JKLM-NPQR-STUV-WXYZ-2345-6789");
    std::string expected;
    for (std::size_t i = 0; i + 1 < sizeof kSavedHex; i += 2) {
        expected.push_back(
            static_cast<char>(std::stoi(std::string(kSavedHex + i, 2), nullptr, 16)));
    }
    EXPECT_EQ(FileBytes(), expected);
    EXPECT_EQ(OpenOk(password), entries);
}

}  // namespace
}  // namespace wrenpost::testing

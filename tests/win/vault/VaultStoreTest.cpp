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
#include "vault/VaultStore_win.h"

namespace wrenpost::testing {
namespace {

const std::wstring kPassword = L"first password";
const std::wstring kNoRecoveryKey = L"This vault does not have a recovery key configured.";
const std::wstring kWrong = L"Invalid vault password.", kCorrupt = L"Vault file appears corrupt.";

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

    // A fresh version 2 vault with `entries`; returns its recovery key.
    std::wstring CreateWith(const std::wstring& password, const std::vector<VaultEntry>& entries) {
        std::wstring key, error;
        EXPECT_TRUE(CreateVault(password, key, error)) << WideToUtf8(error);
        EXPECT_TRUE(SaveVault(password, entries, error)) << WideToUtf8(error);
        return key;
    }

    std::vector<VaultEntry> OpenOk(const std::wstring& password) {
        std::vector<VaultEntry> entries;
        std::wstring error;
        EXPECT_TRUE(OpenVault(password, entries, error)) << WideToUtf8(error);
        return entries;
    }

    // Open, save, password change and recovery (with `key`) fail on the present file with
    // `texts` in that order and leave its bytes as they were.
    void ExpectRefused(const std::wstring& password, const std::wstring& key,
                       const std::array<std::wstring, 4>& texts) {
        const std::string before = FileBytes();
        std::vector<VaultEntry> entries;
        std::array<std::wstring, 4> errors;
        EXPECT_FALSE(OpenVault(password, entries, errors[0]));
        EXPECT_FALSE(SaveVault(password, {}, errors[1]));
        EXPECT_FALSE(ChangeVaultPassword(password, L"x", errors[2]));
        EXPECT_FALSE(RecoverVaultPassword(key, L"x", errors[3]));
        EXPECT_EQ(errors, texts);
        EXPECT_EQ(FileBytes(), before);
    }

    TempDir dir_;
    unsigned next_ = 0;
};

// The created file (made under UseCountingRandom) with `document` as its plaintext.
std::string WithDocument(const std::string& file, std::string_view document) {
    VaultHeader header;
    EXPECT_TRUE(ParseVaultHeader(file, header));
    VaultMasterKey master;
    std::iota(master.bytes.begin(), master.bytes.end(), 0);
    std::string ciphertext;
    EXPECT_TRUE(VaultEncrypt(master.data(), header.dataIv, document, ciphertext));
    return SerializeVaultFile(header, ciphertext);
}

// Secrets planted in the document ride along unseen through every operation.
TEST_F(VaultStore, SavesChangesThePasswordAndRecoversKeepingSecrets) {
    UseCountingRandom();
    const std::wstring key = CreateWith(kPassword, {});
    EXPECT_TRUE(IsVaultV2());
    const VaultSecrets secrets{{L"alpha", L"one \"1\""}, {L"\u0411", L"line\nbreak"}};
    SetFileBytes(WithDocument(FileBytes(), WriteVaultDocument(kEntries, &secrets)));
    EXPECT_EQ(OpenOk(kPassword), kEntries);
    // An entry without a token is gone at the next open; a password change keeps the entries.
    const std::vector<VaultEntry> written = {
        kEntries[1], {L"CC", L"", L"Gone", L"@g", L""}, kEntries[0]};
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, written, error)) << WideToUtf8(error);
    const std::vector<VaultEntry> entries = {kEntries[1], kEntries[0]};
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"second", error)) << WideToUtf8(error);
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_EQ(OpenOk(L"second"), entries);
    // The recovery key (typed loosely as the unit tests allow) replaces the password and keeps
    // working.
    for (const wchar_t* password : {L"third", L"fourth"}) {
        ASSERT_TRUE(RecoverVaultPassword(L" " + key + L"\n", password, error)) << WideToUtf8(error);
        EXPECT_FALSE(VerifyVaultPassword(L"second"));
        EXPECT_EQ(OpenOk(password), entries);
    }
    EXPECT_FALSE(VerifyVaultPassword(L"third"));
    // The file is exactly the saved document with the secrets, under the unchanged master key.
    const std::string file = FileBytes();
    EXPECT_EQ(file, WithDocument(file, WriteVaultDocument(written, &secrets)));
}

TEST_F(VaultStore, RefusesMissingForeignAndDamagedFilesAndWrongSecrets) {
    EXPECT_FALSE(VaultExists());
    const std::wstring cannot = L"Cannot open vault file.";
    ExpectRefused(kPassword, L"key", {cannot, L"Vault file not found.", cannot, cannot});
    const std::wstring format = L"Invalid vault file format.";
    SetFileBytes("WPVLT003" + std::string(400, 0));
    EXPECT_FALSE(IsVaultV2());
    ExpectRefused(kPassword, L"key", {format, format, format, kNoRecoveryKey});
    const std::wstring key = CreateWith(kPassword, kEntries);
    std::wstring badKey = key;
    badKey[0] = badKey[0] == L'2' ? L'3' : L'2';
    for (const std::wstring& typed : {badKey, std::wstring(), kPassword}) {
        ExpectRefused(
            L"wrong", typed,
            {kWrong, kWrong, L"The old password is incorrect.", L"Invalid recovery key."});
    }
}

// The format has no integrity check: whatever a damaged file decrypts to must be refused
// rather than read as a shorter or garbled vault that the next save would make permanent.
TEST_F(VaultStore, NoDamagedOrCutFileOpensAsADifferentVault) {
    SetVaultKdfIterationsForTesting(1);
    UseCountingRandom();
    CreateWith(kPassword, {kEntries[0]});
    const std::string whole = FileBytes();
    for (std::size_t i = 0; i < whole.size(); ++i) {
        std::string flipped = whole;
        flipped[i] = static_cast<char>(~flipped[i]);
        for (const std::string& damaged : {flipped, whole.substr(0, i)}) {
            SetFileBytes(damaged);
            std::vector<VaultEntry> entries;
            std::wstring error;
            if (OpenVault(kPassword, entries,
                          error)) {  // only a flip outside what the password reads
                EXPECT_EQ(damaged.size(), whole.size()) << "opened when cut at " << i;
                EXPECT_EQ(entries, std::vector<VaultEntry>{kEntries[0]}) << i;
            }
        }
    }
    // A document cut in its secrets: a save must not drop what it could not read.
    const std::string document = WriteVaultDocument(kEntries, nullptr);
    SetFileBytes(WithDocument(whole, document.substr(0, document.size() - 1) + ",\"secrets\":{"));
    std::wstring error;
    EXPECT_FALSE(SaveVault(kPassword, kEntries, error));
    EXPECT_EQ(error, L"Failed to parse vault data.");
}

// A vault of the first file version (password only, the document encrypted with the password's
// wrapping key) opens and saves as one; recovery refuses it.
TEST_F(VaultStore, KeepsFirstVersionFilesFirstVersion) {
    VaultHeader header{.version = VaultVersion::V1};
    header.passwordSalt.fill(0x31);
    VaultKeyBlock block;
    ASSERT_TRUE(DeriveVaultKeyBlock(kPassword, header.passwordSalt, block));
    header.passwordVerifier = block.Verifier();
    std::string ciphertext;
    ASSERT_TRUE(VaultEncrypt(block.WrappingKey(), header.dataIv,
                             WriteVaultDocument(kEntries, nullptr), ciphertext));
    SetFileBytes(SerializeVaultFile(header, ciphertext));
    EXPECT_EQ(OpenOk(kPassword), kEntries);
    ExpectRefused(L"wrong", L"2345-6789-ABCD-EFGH-JKLM-NPQR",
                  {kWrong, kWrong, L"The old password is incorrect.", kNoRecoveryKey});
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, {kEntries[1]}, error)) << WideToUtf8(error);
    EXPECT_FALSE(IsVaultV2());
    EXPECT_EQ(OpenOk(kPassword), std::vector<VaultEntry>{kEntries[1]});
}

// With counting random bytes and the real 100,000 PBKDF2 iterations, creating and saving a
// vault gives exactly the bytes computed without any of this program's code by
// known_answer_vault.py (Python's hashlib for PBKDF2, the openssl tool for AES-256-CBC).
TEST_F(VaultStore, CreateAndSaveGiveTheIndependentlyComputedBytes) {
    const char kSavedHex[] =  // 460 bytes
        "5750564C54303032202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F40414243"
        "4445464748494A4B4C4D4E4FBBE20C36482FA08B71D763D000C7DC73C06A0F1716E3C8BB1BB2602AA379405E"
        "64290A8829CF73FA650F1BD4608C8AD99267F0525EB5924A0AB757652F4BB999EC426D5EDB2F2A7D0FC39F4F"
        "8470A27568696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F808182838485868788898A8B8C8D8E8F"
        "9091929394959697FEFF30F339B6CF599206F02EF3B520841ECABE44F203F906F095ED445C0F44813BD66157"
        "AEE202E1839CDDA485E3AC438195000F0769A5CC203A8F182DA21AD947B45B3B8CB73601A9A90F0453E9D143"
        "A8A9AAABACADAEAFB0B1B2B3B4B5B6B7B00000001717DE6F83A8158DE98F61A5D83CCD04C9C4331878EAF093"
        "733149BB9881B3118AD581F59CD94BD8E7CB553EC913C2B5CD183186A80A015AEBF9618742AB582C6B2282B2"
        "CA309E7E02943C3662AD9E3CCB7FADE8D6E3DB34E7ADB31AE8046C90F36AFED472FB3E344FE5AEDB7A2AC4D8"
        "6EBED39EE3B4CB652E7BEC40D2C895F469D22FD772412963C1C163F9A0235A8E4F3C4712E07045F87A2C0708"
        "361EBAA1571427FFEE7E28C72145965278A9D6FB";
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

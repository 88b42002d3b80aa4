// The vault store under real CNG: what each operation does to TokenVault.dat, which text each
// failure gives, and that no failure or damage ever changes the file or reads as another vault.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <set>

#include "app/AppPaths_win.h"
#include "common/Text.h"
#include "support/TempDir.h"
#include "vault/RecoveryKey.h"
#include "vault/VaultCrypto_win.h"
#include "vault/VaultDocument.h"
#include "vault/VaultFile.h"
#include "vault/VaultStore_win.h"

namespace wrenpost::testing {
namespace {

const std::wstring kPassword = L"first password";
const std::wstring kNoRecoveryKey = L"This vault does not have a recovery key configured.";

// Awkward text on purpose: every save and open below carries it.
std::vector<VaultEntry> SampleEntries() {
    return {{L"00112233445566AA", L"111:AAA", L"First \"Bot\"", L"@first_bot",
             L"say \"hi\"\\ C:\\path\\ \r\nnext\n\ttab \u00e9\U0001F600 }]"},
            {L"00112233445566BB", L"222:BBB", L"Second \u0411\u043e\u0442", L"@b", L"\\"}};
}

class VaultStore : public ::testing::Test {
protected:
    void SetUp() override {
        SetVaultFolderProvider([this] { return dir_.Path() / L"AppData"; });
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
    void SetFileBytes(const std::string& bytes) const {
        std::filesystem::create_directories(VaultPath().parent_path());
        WriteAllBytes(VaultPath(), bytes);
    }

    // A fresh version 2 vault with `entries`; returns its recovery key.
    std::wstring CreateWith(const std::wstring& password, const std::vector<VaultEntry>& entries) {
        std::wstring key;
        std::wstring error;
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

// A version 1 file as the first program versions wrote it: the entries document encrypted
// with the password's wrapping key.
std::string FirstVersionFile(const std::wstring& password, std::string_view document) {
    VaultHeader header;
    header.version = VaultVersion::V1;
    header.passwordSalt.fill(0x31);
    header.dataIv.fill(0x41);
    VaultKeyBlock block;
    EXPECT_TRUE(DeriveVaultKeyBlock(password, header.passwordSalt, block));
    header.passwordVerifier = block.Verifier();
    std::string ciphertext;
    EXPECT_TRUE(VaultEncrypt(block.WrappingKey(), header.dataIv, document, ciphertext));
    return SerializeVaultFile(header, ciphertext);
}

// Secrets planted in the document ride along unseen through every operation.
TEST_F(VaultStore, CreatesSavesChangesThePasswordAndRecoversKeepingSecrets) {
    UseCountingRandom();
    const std::wstring key = CreateWith(kPassword, {});
    EXPECT_TRUE(IsVaultV2());
    EXPECT_TRUE(OpenOk(kPassword).empty());
    const VaultSecrets secrets{{L"alpha", L"one \"1\""}, {L"\u0411", L"line\nbreak"}};
    SetFileBytes(WithDocument(FileBytes(), WriteVaultDocument(SampleEntries(), &secrets)));
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
    // An entry without a token is gone at the next open; each save draws a new data IV and
    // keeps every key field.
    const std::string first = FileBytes();
    const std::vector<VaultEntry> written = {SampleEntries()[1],
                                             {L"CC", L"", L"Gone", L"@g", L""},
                                             SampleEntries()[0],
                                             {NewVaultEntryId(), L"3:C", L"", L"", L""}};
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, written, error)) << WideToUtf8(error);
    std::vector<VaultEntry> entries = written;
    entries.erase(entries.begin() + 1);
    const std::string saved = FileBytes();
    EXPECT_EQ(saved.substr(0, 264), first.substr(0, 264));
    EXPECT_NE(saved.substr(264, 16), first.substr(264, 16));
    EXPECT_EQ(OpenOk(kPassword), entries);
    // A password change replaces only the four password fields.
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"second", error)) << WideToUtf8(error);
    EXPECT_NE(FileBytes().substr(8, 128), saved.substr(8, 128));
    EXPECT_EQ(FileBytes().substr(136), saved.substr(136));
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    // The recovery key, as printed or typed loosely, keeps working and replaces the password.
    std::wstring loose = L" " + key + L"\r\n";
    std::replace(loose.begin(), loose.end(), L'-', L'\t');
    std::transform(loose.begin(), loose.end(), loose.begin(), towlower);
    for (const std::wstring& typed : {loose, key}) {
        ASSERT_TRUE(RecoverVaultPassword(typed, L"new " + typed, error)) << WideToUtf8(error);
        EXPECT_FALSE(VerifyVaultPassword(L"second"));
        EXPECT_EQ(OpenOk(L"new " + typed), entries);
    }
    EXPECT_FALSE(VerifyVaultPassword(L"new " + loose));
    // The file is exactly the saved document with the secrets, under the unchanged master key.
    const std::string file = FileBytes();
    EXPECT_EQ(file, WithDocument(file, WriteVaultDocument(written, &secrets)));
}

TEST_F(VaultStore, RefusesMissingForeignAndDamagedFilesAndWrongSecrets) {
    EXPECT_FALSE(VaultExists());
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    const std::wstring cannot = L"Cannot open vault file.";
    ExpectRefused(kPassword, L"key", {cannot, L"Vault file not found.", cannot, cannot});
    const std::wstring format = L"Invalid vault file format.";
    for (const std::string& foreign :
         {std::string(), std::string("WPVLT00"), "WPVLT003" + std::string(400, 0)}) {
        SetFileBytes(foreign);
        EXPECT_TRUE(VaultExists());
        EXPECT_FALSE(IsVaultV2());
        ExpectRefused(kPassword, L"key", {format, format, format, kNoRecoveryKey});
    }
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string whole = FileBytes();
    std::wstring badKey = key;
    badKey[0] = badKey[0] == L'2' ? L'3' : L'2';
    const std::wstring wrong = L"Invalid vault password.";
    for (const std::wstring& typed : {badKey, std::wstring(), kPassword}) {
        ExpectRefused(L"wrong", typed,
                      {wrong, wrong, L"The old password is incorrect.", L"Invalid recovery key."});
    }
    EXPECT_FALSE(VerifyVaultPassword(L""));
    // Cut inside the header, or a length of 0, above 10 MiB, or beyond the end of the file.
    std::vector<std::string> damaged = {whole.substr(0, 8), whole.substr(0, 283)};
    for (const std::uint32_t length :
         {0u, kMaxVaultCiphertextSize + 1, static_cast<std::uint32_t>(whole.size() - 284 + 16)}) {
        damaged.push_back(whole);
        for (int i = 0; i < 4; ++i) {
            damaged.back()[280 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
    }
    const std::wstring corrupt = L"Vault file appears corrupt.";
    for (const std::string& bytes : damaged) {
        SetFileBytes(bytes);
        SCOPED_TRACE(bytes.size());
        ExpectRefused(kPassword, key, {corrupt, corrupt, corrupt, corrupt});
    }
    SetFileBytes(whole);
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
}

// The format has no integrity check: whatever a damaged file decrypts to must be refused
// rather than read as a shorter or garbled vault that the next save would make permanent.
TEST_F(VaultStore, NoDamagedOrCutFileOpensAsADifferentVault) {
    SetVaultKdfIterationsForTesting(1);
    UseCountingRandom();
    CreateWith(kPassword, {SampleEntries()[0]});
    const std::string whole = FileBytes();
    std::set<std::wstring> errors;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        std::string flipped = whole;
        flipped[i] = static_cast<char>(~flipped[i]);
        for (const std::string& damaged : {flipped, whole.substr(0, i)}) {
            SetFileBytes(damaged);
            std::vector<VaultEntry> entries;
            std::wstring error;
            if (OpenVault(kPassword, entries, error)) {
                EXPECT_EQ(damaged.size(), whole.size()) << "opened when cut at " << i;
                EXPECT_EQ(entries, std::vector<VaultEntry>{SampleEntries()[0]}) << i;
            }
            errors.insert(error);
        }
    }
    // Each kind of damage is named: a flipped magic, length, salt or verifier, wrapped key,
    // ciphertext block, or one that decrypts to a broken document.
    EXPECT_EQ(errors, (std::set<std::wstring>{
                          L"", L"Invalid vault file format.", L"Vault file appears corrupt.",
                          L"Invalid vault password.", L"Failed to unwrap vault key.",
                          L"Failed to decrypt vault data.", L"Failed to parse vault data."}));
    // A document cut in its secrets: a save must not drop what it could not read.
    const std::string document = WriteVaultDocument(SampleEntries(), nullptr);
    SetFileBytes(WithDocument(whole, document.substr(0, document.size() - 1) + ",\"secrets\":{"));
    std::wstring error;
    EXPECT_FALSE(SaveVault(kPassword, SampleEntries(), error));
    EXPECT_EQ(error, L"Failed to parse vault data.");
}

TEST_F(VaultStore, NamesTheRandomSourceThatFailedAndKeepsTheFile) {
    // Draws in order: master key, password salt, password IV, recovery key, recovery salt,
    // recovery IV, data IV.
    const std::wstring random = L"Failed to generate random bytes.";
    for (int failing = 1; failing <= 7; ++failing) {
        int call = 0;
        SetVaultRandomSourceForTesting([&call, failing](unsigned char* out, std::size_t size) {
            std::fill_n(out, size, static_cast<unsigned char>(call));
            return ++call != failing;
        });
        std::wstring key;
        std::wstring error;
        EXPECT_FALSE(CreateVault(kPassword, key, error)) << failing;
        EXPECT_EQ(error, failing == 1   ? L"Failed to generate master key."
                         : failing == 7 ? L"Failed to generate IV."
                                        : random);
        EXPECT_FALSE(VaultExists());
    }
    SetVaultRandomSourceForTesting(nullptr);
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    SetVaultRandomSourceForTesting([](unsigned char*, std::size_t) { return false; });
    std::array<std::wstring, 3> errors;
    EXPECT_FALSE(SaveVault(kPassword, {}, errors[0]));
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"new", errors[1]));
    EXPECT_FALSE(RecoverVaultPassword(key, L"new", errors[2]));
    EXPECT_EQ(errors, (std::array<std::wstring, 3>{L"Failed to generate IV.", random, random}));
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(NewVaultEntryId().size(), 16u);  // entry ids never come out empty, even then
}

TEST_F(VaultStore, MakesDistinctEntryIdsAndFindsItsFolder) {
    std::set<std::wstring> ids;
    for (int i = 0; i < 200; ++i) {
        ids.insert(NewVaultEntryId());
    }
    EXPECT_EQ(ids.size(), 200u);
    const std::filesystem::path folder = dir_.Path() / L"deep" / L"\u0418\u0432\u0430\u043d";
    SetVaultFolderProvider([folder] { return folder; });
    CreateWith(kPassword, {});
    EXPECT_TRUE(std::filesystem::exists(folder / L"TokenVault.dat"));
    SetVaultFolderProvider([] { return std::filesystem::path(); });
    EXPECT_FALSE(VaultExists());
    std::wstring key;
    std::wstring error;
    EXPECT_FALSE(CreateVault(kPassword, key, error));
    EXPECT_EQ(error, L"Failed to write vault file.");
    SetVaultFolderProvider(nullptr);
    ASSERT_FALSE(AppDataFolder().empty());
    EXPECT_EQ(VaultPath(), AppDataFolder() / L"TokenVault.dat");
}

// Vaults of the first file version (password only): they open, save and change their password
// as version 1 files, and recovery refuses them.
TEST_F(VaultStore, KeepsFirstVersionFilesFirstVersion) {
    SetFileBytes(FirstVersionFile(kPassword, WriteVaultDocument(SampleEntries(), nullptr)));
    const std::string before = FileBytes();
    EXPECT_FALSE(IsVaultV2());
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
    const std::wstring wrong = L"Invalid vault password.";
    ExpectRefused(L"wrong", L"2345-6789-ABCD-EFGH-JKLM-NPQR",
                  {wrong, wrong, L"The old password is incorrect.", kNoRecoveryKey});
    SetFileBytes(before.substr(0, 91));
    const std::wstring corrupt = L"Vault file appears corrupt.";
    ExpectRefused(kPassword, L"key", {corrupt, corrupt, corrupt, kNoRecoveryKey});
    // A save keeps salt and verifier and draws a new IV; a password change draws a new salt.
    SetFileBytes(before);
    const std::vector<VaultEntry> entries = {SampleEntries()[1]};
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
    const std::string saved = FileBytes();
    EXPECT_EQ(saved.substr(0, 40), before.substr(0, 40));
    EXPECT_NE(saved.substr(40, 16), before.substr(40, 16));
    EXPECT_EQ(saved.substr(56, 32), before.substr(56, 32));
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"new \u00fc", error)) << WideToUtf8(error);
    EXPECT_NE(FileBytes().substr(8, 32), saved.substr(8, 32));
    EXPECT_FALSE(IsVaultV2());
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_EQ(OpenOk(L"new \u00fc"), entries);
}

// With counting random bytes and the real 100,000 PBKDF2 iterations, creating and saving a
// vault gives exactly the bytes computed without any of this program's code by
// known_answer_vault.py (Python's hashlib for PBKDF2, the openssl tool for AES-256-CBC).
// 460 bytes
const char kSavedHex[] =
    "5750564C54303032202122232425262728292A2B2C2D2E2F3031323334353637"
    "38393A3B3C3D3E3F404142434445464748494A4B4C4D4E4FBBE20C36482FA08B"
    "71D763D000C7DC73C06A0F1716E3C8BB1BB2602AA379405E64290A8829CF73FA"
    "650F1BD4608C8AD99267F0525EB5924A0AB757652F4BB999EC426D5EDB2F2A7D"
    "0FC39F4F8470A27568696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F"
    "808182838485868788898A8B8C8D8E8F9091929394959697FEFF30F339B6CF59"
    "9206F02EF3B520841ECABE44F203F906F095ED445C0F44813BD66157AEE202E1"
    "839CDDA485E3AC438195000F0769A5CC203A8F182DA21AD947B45B3B8CB73601"
    "A9A90F0453E9D143A8A9AAABACADAEAFB0B1B2B3B4B5B6B7B00000001717DE6F"
    "83A8158DE98F61A5D83CCD04C9C4331878EAF093733149BB9881B3118AD581F5"
    "9CD94BD8E7CB553EC913C2B5CD183186A80A015AEBF9618742AB582C6B2282B2"
    "CA309E7E02943C3662AD9E3CCB7FADE8D6E3DB34E7ADB31AE8046C90F36AFED4"
    "72FB3E344FE5AEDB7A2AC4D86EBED39EE3B4CB652E7BEC40D2C895F469D22FD7"
    "72412963C1C163F9A0235A8E4F3C4712E07045F87A2C0708361EBAA1571427FF"
    "EE7E28C72145965278A9D6FB";

TEST_F(VaultStore, CreateAndSaveGiveTheIndependentlyComputedBytes) {
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

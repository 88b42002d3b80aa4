// The vault store under real CNG: what each operation does to TokenVault.dat, which text each
// failure gives, and that no failure or damage ever changes the file or reads as another vault.
#include <gtest/gtest.h>

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
            for (std::size_t i = 0; i < size; ++i) {
                out[i] = static_cast<unsigned char>(next_++);
            }
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

    std::wstring OpenError(const std::wstring& password) {
        std::vector<VaultEntry> entries;
        std::wstring error;
        EXPECT_FALSE(OpenVault(password, entries, error));
        return error;
    }

    // Opening, saving, changing the password and recovery all fail on the present file with
    // `text` (recovery with `recoverText` when given) and leave its bytes as they were.
    void ExpectEveryOperationRefused(const std::wstring& text, const std::wstring& key = L"key",
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

    TempDir dir_;
    unsigned next_ = 0;
};

// The created file (made under UseCountingRandom) with `document` as its plaintext.
std::string WithDocument(const std::string& file, std::string_view document) {
    VaultHeader header;
    EXPECT_TRUE(ParseVaultHeader(file, header));
    VaultMasterKey master;
    for (unsigned char i = 0; i < 32; ++i) {
        master.bytes[i] = i;
    }
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

TEST_F(VaultStore, CreatesSavesChangesThePasswordAndRecovers) {
    EXPECT_FALSE(VaultExists());
    std::wstring key;
    std::wstring error;
    ASSERT_TRUE(CreateVault(kPassword, key, error)) << WideToUtf8(error);
    EXPECT_TRUE(IsVaultV2());
    EXPECT_EQ(key.size(), 29u);
    EXPECT_EQ(NormalizeRecoveryKey(key).find_first_not_of(kRecoveryKeyAlphabet),
              std::wstring::npos);
    EXPECT_TRUE(OpenOk(kPassword).empty());

    // An entry without a token is gone at the next open.
    std::vector<VaultEntry> entries = SampleEntries();
    entries.insert(entries.begin() + 1, VaultEntry{L"00112233445566CC", L"", L"Gone", L"@g", L""});
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());

    // Each save draws a new data IV and keeps every key field.
    const std::string first = FileBytes();
    entries = {SampleEntries()[1], SampleEntries()[0], {NewVaultEntryId(), L"3:C", L"", L"", L""}};
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
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
    std::wstring loose = L" ";
    for (const wchar_t c : key) {
        loose +=
            c == L'-' ? std::wstring(L" \t") : std::wstring(1, static_cast<wchar_t>(towlower(c)));
    }
    for (const std::wstring& typed : {loose + L"\r\n", key}) {
        ASSERT_TRUE(RecoverVaultPassword(typed, L"new " + typed, error)) << WideToUtf8(error);
        EXPECT_FALSE(VerifyVaultPassword(L"second"));
        EXPECT_EQ(OpenOk(L"new " + typed), entries);
    }
    EXPECT_FALSE(VerifyVaultPassword(L"new " + loose + L"\r\n"));
}

TEST_F(VaultStore, WrongPasswordsAndKeysLeaveTheFileByteIdentical) {
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string before = FileBytes();
    std::wstring error;
    EXPECT_EQ(OpenError(L"wrong"), L"Invalid vault password.");
    EXPECT_FALSE(VerifyVaultPassword(L""));
    EXPECT_FALSE(SaveVault(L"wrong", {}, error));
    EXPECT_EQ(error, L"Invalid vault password.");
    EXPECT_FALSE(ChangeVaultPassword(L"wrong", L"new", error));
    EXPECT_EQ(error, L"The old password is incorrect.");
    std::wstring badKey = key;
    badKey[0] = badKey[0] == L'2' ? L'3' : L'2';
    for (const std::wstring& wrong : {badKey, std::wstring(), kPassword}) {
        EXPECT_FALSE(RecoverVaultPassword(wrong, L"new", error));
        EXPECT_EQ(error, L"Invalid recovery key.");
    }
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
}

TEST_F(VaultStore, ReportsMissingForeignAndTruncatedFiles) {
    std::wstring error;
    EXPECT_FALSE(VaultExists());
    EXPECT_FALSE(VerifyVaultPassword(kPassword));
    EXPECT_FALSE(SaveVault(kPassword, {}, error));
    EXPECT_EQ(error, L"Vault file not found.");
    EXPECT_EQ(OpenError(kPassword), L"Cannot open vault file.");
    EXPECT_FALSE(ChangeVaultPassword(kPassword, L"x", error));
    EXPECT_EQ(error, L"Cannot open vault file.");
    EXPECT_FALSE(RecoverVaultPassword(L"key", L"x", error));
    EXPECT_EQ(error, L"Cannot open vault file.");
    for (const std::string& foreign :
         {std::string(), std::string("WPVLT00"), "WPVLT003" + std::string(400, 0)}) {
        SetFileBytes(foreign);
        EXPECT_TRUE(VaultExists());
        EXPECT_FALSE(IsVaultV2());
        ExpectEveryOperationRefused(L"Invalid vault file format.", L"key",
                                    L"This vault does not have a recovery key configured.");
    }
    const std::wstring key = CreateWith(kPassword, SampleEntries());
    const std::string whole = FileBytes();
    for (const std::size_t size : {std::size_t{8}, std::size_t{283}}) {
        SetFileBytes(whole.substr(0, size));
        ExpectEveryOperationRefused(L"Vault file appears corrupt.");
    }
    // A length of 0, above 10 MiB, or beyond the end of the file.
    for (const std::uint32_t length :
         {0u, kMaxVaultCiphertextSize + 1, static_cast<std::uint32_t>(whole.size() - 284 + 16)}) {
        std::string damaged = whole;
        for (int i = 0; i < 4; ++i) {
            damaged[280 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
        }
        SetFileBytes(damaged);
        SCOPED_TRACE(length);
        ExpectEveryOperationRefused(L"Vault file appears corrupt.", key);
    }
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
    // Documents cut after their entries, in secrets, or not valid UTF-8.
    const std::string document = WriteVaultDocument(SampleEntries(), nullptr);
    const std::string entriesOnly = document.substr(0, document.size() - 1);
    for (const std::string& bad : {entriesOnly, entriesOnly + ",\"secrets\":{\"a\":\"b\"",
                                   std::string("{\"entries\":[{\"token\":\"\xC0\xAF\"}]}")}) {
        SetFileBytes(WithDocument(whole, bad));
        EXPECT_EQ(OpenError(kPassword), L"Failed to parse vault data.");
        std::wstring error;
        EXPECT_FALSE(SaveVault(kPassword, SampleEntries(), error));
        EXPECT_EQ(error, L"Failed to parse vault data.");
    }
}

TEST_F(VaultStore, KeepsSecretsThroughSavesPasswordChangesAndRecovery) {
    UseCountingRandom();
    const std::wstring key = CreateWith(kPassword, {});
    const VaultSecrets secrets{{L"alpha", L"one \"1\""}, {L"\u0411", L"line\nbreak"}};
    SetFileBytes(WithDocument(FileBytes(), WriteVaultDocument(SampleEntries(), &secrets)));
    EXPECT_EQ(OpenOk(kPassword), SampleEntries());
    const std::vector<VaultEntry> changed = {SampleEntries()[1]};
    std::wstring error;
    ASSERT_TRUE(SaveVault(kPassword, changed, error)) << WideToUtf8(error);
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"other", error)) << WideToUtf8(error);
    ASSERT_TRUE(RecoverVaultPassword(key, L"third", error)) << WideToUtf8(error);
    EXPECT_EQ(OpenOk(L"third"), changed);
    // The file is exactly the document with the secrets, under the unchanged master key.
    const std::string file = FileBytes();
    EXPECT_EQ(file, WithDocument(file, WriteVaultDocument(changed, &secrets)));
}

TEST_F(VaultStore, NamesTheRandomSourceThatFailed) {
    // Draws in order: master key, password salt, password IV, recovery key, recovery salt,
    // recovery IV, data IV.
    for (int failing = 1; failing <= 7; ++failing) {
        const std::wstring text = failing == 1   ? L"Failed to generate master key."
                                  : failing == 7 ? L"Failed to generate IV."
                                                 : L"Failed to generate random bytes.";
        int call = 0;
        SetVaultRandomSourceForTesting([&call, failing](unsigned char* out, std::size_t size) {
            std::fill_n(out, size, static_cast<unsigned char>(call));
            return ++call != failing;
        });
        std::wstring key;
        std::wstring error;
        EXPECT_FALSE(CreateVault(kPassword, key, error)) << failing;
        EXPECT_EQ(error, text) << failing;
        EXPECT_FALSE(VaultExists());
    }
    SetVaultRandomSourceForTesting(nullptr);
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

TEST_F(VaultStore, MakesDistinctEntryIdsAndFindsItsFolder) {
    std::set<std::wstring> ids;
    for (int i = 0; i < 200; ++i) {
        const std::wstring id = NewVaultEntryId();
        EXPECT_EQ(id.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos) << WideToUtf8(id);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 200u);
    const std::filesystem::path folder = dir_.Path() / L"deep" / L"\u0418\u0432\u0430\u043d";
    SetVaultFolderProvider([folder] { return folder; });
    std::wstring key;
    std::wstring error;
    ASSERT_TRUE(CreateVault(kPassword, key, error)) << WideToUtf8(error);
    EXPECT_TRUE(std::filesystem::exists(folder / L"TokenVault.dat"));
    SetVaultFolderProvider([] { return std::filesystem::path(); });
    EXPECT_FALSE(VaultExists());
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
    EXPECT_EQ(OpenError(L"wrong"), L"Invalid vault password.");
    std::wstring error;
    EXPECT_FALSE(SaveVault(L"wrong", {}, error));
    EXPECT_EQ(error, L"Invalid vault password.");
    EXPECT_FALSE(ChangeVaultPassword(L"wrong", L"new", error));
    EXPECT_EQ(error, L"The old password is incorrect.");
    EXPECT_FALSE(RecoverVaultPassword(L"2345-6789-ABCD-EFGH-JKLM-NPQR", L"new", error));
    EXPECT_EQ(error, L"This vault does not have a recovery key configured.");
    EXPECT_EQ(FileBytes(), before);

    SetFileBytes(before.substr(0, 91));
    ExpectEveryOperationRefused(L"Vault file appears corrupt.", L"key",
                                L"This vault does not have a recovery key configured.");

    // A save keeps salt and verifier and draws a new IV; a password change draws a new salt.
    SetFileBytes(before);
    const std::vector<VaultEntry> entries = {SampleEntries()[1]};
    ASSERT_TRUE(SaveVault(kPassword, entries, error)) << WideToUtf8(error);
    const std::string saved = FileBytes();
    EXPECT_EQ(saved.substr(0, 40), before.substr(0, 40));
    EXPECT_NE(saved.substr(40, 16), before.substr(40, 16));
    EXPECT_EQ(saved.substr(56, 32), before.substr(56, 32));
    ASSERT_TRUE(ChangeVaultPassword(kPassword, L"new \u00fc", error)) << WideToUtf8(error);
    const std::string changed = FileBytes();
    VaultHeader header;
    ASSERT_TRUE(ParseVaultHeader(changed, header));
    EXPECT_EQ(changed.substr(0, 8), "WPVLT001");
    EXPECT_EQ(header.ciphertextLength, changed.size() - 92);
    EXPECT_NE(changed.substr(8, 32), saved.substr(8, 32));
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
    std::wstring key;
    std::wstring error;
    ASSERT_TRUE(CreateVault(password, key, error)) << WideToUtf8(error);
    EXPECT_EQ(key, L"JKLM-NPQR-STUV-WXYZ-2345-6789");
    const std::vector<VaultEntry> entries = {{L"0011223344556677", L"123456:AAbbCC",
                                              L"\u0411\u043e\u0442 \"\U0001F916\"", L"@alpha_bot",
                                              L"line\ttab \\ back\r\n"}};
    ASSERT_TRUE(SaveVault(password, entries, error)) << WideToUtf8(error);
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

// The vault's plaintext document: the exact bytes written, and a reader that takes back what the
// writer wrote and tolerates what a careful hand might add, without ever misreading a value.
#include <gtest/gtest.h>

#include <string>

#include "common/Text.h"
#include "vault/VaultDocument.h"

namespace wrenpost {
namespace {

VaultEntry Entry(std::wstring id, std::wstring token, std::wstring name = L"Bot",
                 std::wstring username = L"@bot", std::wstring notes = L"") {
    return VaultEntry{std::move(id), std::move(token), std::move(name), std::move(username),
                      std::move(notes)};
}

struct Parsed {
    bool ok = false;
    std::vector<VaultEntry> entries;
    VaultSecrets secrets;
};

Parsed Read(std::string_view utf8) {
    Parsed parsed;
    parsed.ok = ReadVaultDocument(utf8, parsed.entries, parsed.secrets);
    return parsed;
}

TEST(VaultDocumentWriter, WritesEntriesThenSecretsWithoutWhiteSpace) {
    const VaultSecrets secrets{{L"b", L"2"}, {L"a", L"1"}};
    EXPECT_EQ(WriteVaultDocument({Entry(L"0A", L"1:x", L"N", L"@u", L"hi")}, &secrets),
              R"({"entries":[{"id":"0A","token":"1:x","botName":"N","botUsername":"@u",)"
              R"("notes":"hi"}],"secrets":{"a":"1","b":"2"}})");
}

TEST(VaultDocumentWriter, WritesOnlyTheEntriesForTheFirstVersion) {
    EXPECT_EQ(WriteVaultDocument({Entry(L"1", L"t"), Entry(L"2", L"u")}, nullptr),
              R"({"entries":[{"id":"1","token":"t","botName":"Bot","botUsername":"@bot",)"
              R"("notes":""},{"id":"2","token":"u","botName":"Bot","botUsername":"@bot",)"
              R"("notes":""}]})");
}

TEST(VaultDocumentWriter, WritesAnEmptyVault) {
    const VaultSecrets none;
    EXPECT_EQ(WriteVaultDocument({}, &none), R"({"entries":[],"secrets":{}})");
    EXPECT_EQ(WriteVaultDocument({}, nullptr), R"({"entries":[]})");
}

TEST(VaultDocumentWriter, EscapesTheFiveCharactersAndWritesEverythingElseAsUtf8) {
    const std::string doc =
        WriteVaultDocument({Entry(L"1", L"t", L"\u0418\u0432\u0430\u043d \U0001F916", L"@b",
                                  L"a\"b\\c\nd\re\tf/\x01")},
                           nullptr);
    EXPECT_NE(doc.find("\"botName\":\"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xF0\x9F\xA4\x96\""),
              std::string::npos)
        << doc;
    EXPECT_NE(doc.find(R"("notes":"a\"b\\c\nd\re\tf/)"
                       "\x01\""),
              std::string::npos)
        << doc;
}

TEST(VaultDocumentRoundTrip, KeepsEveryEntryInOrderWithAwkwardTextAndSecrets) {
    const std::vector<VaultEntry> entries = {
        Entry(L"00112233445566AA", L"123:ABC", L"Quote \"Bot\"", L"@q",
              L"back\\slash\nline\r\n\ttab {[}] \"token\":\"fake\""),
        Entry(L"FFEEDDCCBBAA9988", L"456:DEF", L"\u00e9\u0418\U0001F600", L"@e", L"\\"),
        Entry(L"", L"789:GHI", L"", L"", L"\\\"")};
    const VaultSecrets secrets{{L"k\"1", L"v\\1\n"}, {L"\u0418", L"}"}};
    const Parsed back = Read(WriteVaultDocument(entries, &secrets));
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.entries, entries);
    EXPECT_EQ(back.secrets, secrets);
}

TEST(VaultDocumentReader, SkipsEntriesWhoseTokenIsEmptyOrMissing) {
    const Parsed back = Read(
        WriteVaultDocument({Entry(L"1", L""), Entry(L"2", L"kept"), Entry(L"3", L"")}, nullptr));
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].id, L"2");

    const Parsed missing = Read(R"({"entries":[{"id":"1","botName":"x"}]})");
    ASSERT_TRUE(missing.ok);
    EXPECT_TRUE(missing.entries.empty());
}

TEST(VaultDocumentReader, ToleratesSpacesOtherOrderUnknownKeysAndMissingFields) {
    const Parsed back = Read(
        "{ \"version\" : 3,\r\n \"entries\" : [ { \"notes\" : \"n\", \"extra\" : {\"token\":"
        "\"inner\", \"list\": [\"}\", \"]\"]}, \"token\"\t:\t\"T\" , \"id\":\"I\" } ,\n"
        "{\"token\":\"U\",\"flag\":true,\"count\":12} ] , \"secrets\" : { \"s\" : \"v\" ,"
        " \"n\": 5 } }");
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.entries.size(), 2u);
    EXPECT_EQ(back.entries[0], Entry(L"I", L"T", L"", L"", L"n"));
    EXPECT_EQ(back.entries[1], Entry(L"", L"U", L"", L"", L""));
    EXPECT_EQ(back.secrets, (VaultSecrets{{L"s", L"v"}}));
}

TEST(VaultDocumentReader, TakesAnyOtherEscapedCharacterAsItself) {
    const Parsed back = Read(R"({"entries":[{"token":"a\/b\u0041\q","notes":"x\\\"y\n"}]})");
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].token, L"a/bu0041q");
    EXPECT_EQ(back.entries[0].notes, L"x\\\"y\n");
}

TEST(VaultDocumentReader, UsesTheFirstOfRepeatedKeys) {
    const Parsed back = Read(R"({"entries":[{"token":"first","token":"second"}]})");
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].token, L"first");
}

TEST(VaultDocumentReader, NeverTakesKeyNamesInsideValuesForKeys) {
    const Parsed back = Read(
        R"({"note":"\"entries\":[{\"token\":\"planted\"}]","entries":[{"notes":"\"token\":\"no\"",)"
        R"("token":"real"}]})");
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].token, L"real");
    EXPECT_EQ(back.entries[0].notes, L"\"token\":\"no\"");
}

TEST(VaultDocumentReader, ReadsAFirstVersionDocumentWithoutSecrets) {
    const Parsed back = Read(R"({"entries":[{"id":"1","token":"t"}]})");
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.entries.size(), 1u);
    EXPECT_TRUE(back.secrets.empty());
}

TEST(VaultDocumentReader, RefusesDocumentsThatAreNotWhole) {
    const std::string whole = WriteVaultDocument({Entry(L"1", L"t")}, nullptr);
    for (std::size_t cut = 0; cut + 1 < whole.size(); ++cut) {
        const std::string part = whole.substr(0, cut);
        // Every prefix short of the closing bracket leaves the array open.
        if (part.find(']') == std::string::npos) {
            EXPECT_FALSE(Read(part).ok) << part;
        }
    }
    EXPECT_FALSE(Read("").ok);
    EXPECT_FALSE(Read("not json at all").ok);
    EXPECT_FALSE(Read(R"({"entries":{}})").ok);
    EXPECT_FALSE(Read(R"({"entries":[],"secrets":{"a":"b")").ok);
    EXPECT_FALSE(Read(R"({"entries":[],"secrets":{"a":"b})").ok);
}

TEST(VaultDocumentReader, ReplacesInvalidUtf8InsteadOfFailing) {
    const Parsed back = Read(
        "{\"entries\":[{\"token\":\"a\xFF"
        "b\"}]}");
    ASSERT_TRUE(back.ok);
    ASSERT_EQ(back.entries.size(), 1u);
    EXPECT_EQ(back.entries[0].token, L"a\uFFFDb");
}

TEST(VaultDocumentReader, SurvivesHugeNestingAndEndlessLiterals) {
    const std::string deep = "{\"entries\":[{" + std::string(1 << 20, '{') + "}]}";
    EXPECT_FALSE(Read(deep).ok);
    const std::string quotes = "{\"entries\":[" + std::string(1 << 20, '"');
    EXPECT_FALSE(Read(quotes).ok);
    std::string many = "{\"entries\":[";
    for (int i = 0; i < 20000; ++i) {
        many += "{\"token\":\"t" + std::to_string(i) + "\"},";
    }
    many += "]}";
    const Parsed back = Read(many);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.entries.size(), 20000u);
    EXPECT_EQ(back.entries.back().token, L"t19999");
}

}  // namespace
}  // namespace wrenpost
